#include "net/UiDispatcher.h"

#include <atomic>

namespace volumira {

ThreadCall::~ThreadCall() = default;
UiDispatcher::~UiDispatcher() = default;

namespace {
std::atomic<UiDispatcher*> installed{nullptr};
}

void setUiDispatcher(UiDispatcher* dispatcher) {
    installed.store(dispatcher);
}

UiDispatcher* uiDispatcher() {
    return installed.load();
}

} // namespace volumira

#include "app/QtUiDispatcher.h"

#include "net/ThreadCall.h"

#include <memory>

namespace volumira {

namespace {

// Where one call stands. A call still waiting when the dispatcher closes is abandoned and never runs, as its
// sender has gone on; a running one is waited for, as it uses the sender's stack.
enum class CallState { Waiting, Running, Done, Abandoned };

} // namespace

QtUiDispatcher::QtUiDispatcher(QObject* parent) : QObject(parent) {}

QtUiDispatcher::~QtUiDispatcher() { close(); }

bool QtUiDispatcher::sendSync(ThreadCall& call) {
    if (closed_) return false;
    // A blocking queued connection would hang a worker whose call arrives after the UI stopped serving
    // events; this hand-over can be released by close().
    auto state = std::make_shared<CallState>(CallState::Waiting);
    const bool posted = QMetaObject::invokeMethod(
        this,
        [this, state, &call] {
            {
                std::lock_guard lock(mutex_);
                if (*state != CallState::Waiting) return;
                *state = CallState::Running;
            }
            try {
                call.invoke();
            } catch (...) {
                // A report that throws must still release its sender.
            }
            std::lock_guard lock(mutex_);
            *state = CallState::Done;
            changed_.notify_all();
        },
        Qt::QueuedConnection);
    if (!posted) return false;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return *state == CallState::Done || (closed_ && *state == CallState::Waiting); });
    if (*state == CallState::Done) return true;
    *state = CallState::Abandoned;
    return false;
}

void QtUiDispatcher::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

} // namespace volumira

#pragma once

#include "net/ThreadCall.h"

namespace volumira {

// Carries calls from worker threads to the UI thread. Transfers report through the dispatcher installed
// with setUiDispatcher; it must stay installed and alive until NetworkQueue::shutdown() has returned.
class UiDispatcher {
  public:
    virtual ~UiDispatcher();
    // From a worker thread, never the UI thread: has call.invoke() run on the UI thread and returns true once
    // it has run. Returns false without running it once the dispatcher is closed; a worker then stops.
    virtual bool sendSync(ThreadCall& call) = 0;
    // From any thread: sendSync runs nothing more, and senders waiting now return false.
    virtual void close() = 0;
};

// The process-wide dispatcher, null until set; with none, transfers deliver nothing and stop.
void setUiDispatcher(UiDispatcher* dispatcher);
UiDispatcher* uiDispatcher();

} // namespace volumira

#pragma once

namespace volumira {

// A piece of work a worker thread hands to the UI thread and waits for (see UiDispatcher).
class ThreadCall {
  public:
    virtual ~ThreadCall();
    // Runs on the UI thread.
    virtual void invoke() = 0;
};

} // namespace volumira

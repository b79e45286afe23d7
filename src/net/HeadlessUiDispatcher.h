#pragma once

#include "net/UiDispatcher.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace volumira {

// A dispatcher without a window system: the thread that calls the pump functions is the UI thread. Used by
// the command-line tool and by tests.
class HeadlessUiDispatcher : public UiDispatcher {
  public:
    // The timeout of pumpUntil that means "no limit".
    static constexpr std::chrono::milliseconds kForever = std::chrono::milliseconds::max();

    HeadlessUiDispatcher() = default;
    HeadlessUiDispatcher(const HeadlessUiDispatcher&) = delete;
    HeadlessUiDispatcher& operator=(const HeadlessUiDispatcher&) = delete;
    // When installed, shuts the network queue down (on the calling thread, which must be the UI thread) and
    // uninstalls itself; otherwise closes.
    ~HeadlessUiDispatcher() override;

    bool sendSync(ThreadCall& call) override;
    void close() override;

    // Runs the calls that arrive, on the calling thread, until done() is true or the timeout passes; done()
    // is asked first and after each call. Returns done(). A call that throws is finished for its sender and
    // the exception passes to the caller.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Runs the calls waiting now without blocking; returns how many ran.
    std::size_t pumpPending();
    // Waits, running nothing, until at least count calls wait to be run or the timeout passes; returns
    // whether they do.
    bool waitForCalls(std::size_t count, std::chrono::milliseconds timeout);

  private:
    struct Pending {
        ThreadCall* call;
        bool taken = false;
        bool done = false;
    };
    // Takes the first waiting call and runs it with the lock released.
    void runFirst(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable finished_;
    std::deque<Pending*> pending_;
    bool closed_ = false;
};

} // namespace volumira

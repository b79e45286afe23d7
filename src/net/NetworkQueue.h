#pragma once

#include <condition_variable>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>

namespace volumira {

class Transfer;

// The one process-wide queue of transfers: at most kMaxRunning run at once, the rest wait in arrival order.
// It lives until the process ends; call shutdown() before the UI goes away.
class NetworkQueue {
  public:
    static constexpr std::size_t kMaxRunning = 5;

    static NetworkQueue& instance();
    NetworkQueue(const NetworkQueue&) = delete;
    NetworkQueue& operator=(const NetworkQueue&) = delete;

    // Starts the job when fewer than kMaxRunning run, else appends it to the waiting list. Throws, leaving
    // the job in no list, when its thread cannot be started.
    void add(std::shared_ptr<Transfer> job);
    // Takes the job out of its list; when it was running, the first waiting job starts. Returns whether it
    // was running. Nothing happens for a job in neither list.
    bool remove(const Transfer* job);
    // Cancels every waiting transfer, then every running one. UI thread.
    void cancelAll();
    // For the end of the UI: cancelAll(), close the installed dispatcher, then wait until every transfer
    // thread has ended, the cancelled ones still winding down included. UI thread.
    void shutdown();
    // Blocks until every transfer thread has ended; their reports must be able to reach the UI thread or be
    // refused meanwhile.
    void waitForThreads();

    std::size_t runningCount() const;
    std::size_t waitingCount() const;

    // For tests: the next count thread starts fail as when the system has no thread to give; 0 ends that.
    void failThreadStartsForTesting(std::size_t count);

  private:
    friend class Transfer;

    // Bookkeeping of the transfer threads, so that shutdown() can wait for them.
    void threadStarted();
    void threadEnded();
    // The lock that guards the lists and each transfer's thread state.
    std::recursive_mutex& lock() { return mutex_; }

    NetworkQueue();
    ~NetworkQueue() = default;
    // Gives the job its thread; throws when none can be created.
    void startJob(Transfer& job);
    void startWaiting();
    // Hands over the jobs whose thread could not be created, for the calling transfer thread to report.
    std::list<std::shared_ptr<Transfer>> takeUnstarted();

    std::list<std::shared_ptr<Transfer>> waiting_;
    std::list<std::shared_ptr<Transfer>> running_;
    // Waiting jobs whose thread could not be created when their turn came. A running job's place freed
    // up for them, and its thread, still to end, reports their failure.
    std::list<std::shared_ptr<Transfer>> unstarted_;
    std::size_t failingStarts_ = 0;
    mutable std::recursive_mutex mutex_;
    std::condition_variable_any threadsEnded_;
    std::size_t liveThreads_ = 0;
};

} // namespace volumira

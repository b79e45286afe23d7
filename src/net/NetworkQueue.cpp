#include "net/NetworkQueue.h"

#include "net/Transfer.h"
#include "net/UiDispatcher.h"

#include <algorithm>
#include <curl/curl.h>
#include <system_error>
#include <utility>
#include <vector>

namespace volumira {

// Never destroyed: a transfer thread still winding down when the process exits must not find the queue gone.
NetworkQueue& NetworkQueue::instance() {
    static NetworkQueue* const queue = new NetworkQueue;
    return *queue;
}

// curl's global set-up is not thread-safe, so it is done once here, before the first transfer exists.
NetworkQueue::NetworkQueue() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

void NetworkQueue::add(std::shared_ptr<Transfer> job) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (running_.size() >= kMaxRunning) {
        waiting_.push_back(std::move(job));
        return;
    }
    running_.push_back(job);
    try {
        startJob(*job);
    } catch (...) {
        running_.pop_back();
        throw;
    }
}

bool NetworkQueue::remove(const Transfer* job) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto isJob = [job](const std::shared_ptr<Transfer>& entry) { return entry.get() == job; };
    const auto found = std::find_if(running_.begin(), running_.end(), isJob);
    if (found == running_.end()) {
        waiting_.remove_if(isJob);
        unstarted_.remove_if(isJob);
        return false;
    }
    running_.erase(found);
    startWaiting();
    return true;
}

void NetworkQueue::startJob(Transfer& job) {
    if (failingStarts_ > 0) {
        --failingStarts_;
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    job.start();
}

// Called only when a running job leaves its place, so the thread of that job has yet to end. A waiting job
// whose thread cannot be created is not left first in line, where nothing may ever try it again: it is set
// aside for that ending thread to report as failed, and the next waiting job gets the place.
void NetworkQueue::startWaiting() {
    while (!waiting_.empty() && running_.size() < kMaxRunning) {
        std::shared_ptr<Transfer> next = std::move(waiting_.front());
        waiting_.pop_front();
        running_.push_back(next);
        try {
            startJob(*next);
        } catch (...) {
            running_.pop_back();
            unstarted_.push_back(std::move(next));
        }
    }
}

std::list<std::shared_ptr<Transfer>> NetworkQueue::takeUnstarted() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return std::exchange(unstarted_, {});
}

void NetworkQueue::cancelAll() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // The waiting ones go first: cancelling a running one would start them only to cancel them at once.
    // cancel() takes each job out of its list, so walk snapshots.
    std::vector<std::shared_ptr<Transfer>> waiting(waiting_.begin(), waiting_.end());
    // Those whose thread could not be created are as good as waiting: their failure must not arrive now.
    waiting.insert(waiting.end(), unstarted_.begin(), unstarted_.end());
    for (const auto& job : waiting)
        job->cancel();
    const std::vector<std::shared_ptr<Transfer>> running(running_.begin(), running_.end());
    for (const auto& job : running)
        job->cancel();
}

void NetworkQueue::shutdown() {
    cancelAll();
    if (UiDispatcher* dispatcher = uiDispatcher()) dispatcher->close();
    waitForThreads();
}

void NetworkQueue::waitForThreads() {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    threadsEnded_.wait(lock, [this] { return liveThreads_ == 0; });
}

std::size_t NetworkQueue::runningCount() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return running_.size();
}

std::size_t NetworkQueue::waitingCount() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return waiting_.size();
}

void NetworkQueue::failThreadStartsForTesting(std::size_t count) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    failingStarts_ = count;
}

void NetworkQueue::threadStarted() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ++liveThreads_;
}

void NetworkQueue::threadEnded() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    --liveThreads_;
    threadsEnded_.notify_all();
}

} // namespace volumira

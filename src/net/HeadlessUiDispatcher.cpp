#include "net/HeadlessUiDispatcher.h"

#include "net/NetworkQueue.h"

#include <algorithm>

namespace volumira {

namespace {
// How often pumpUntil looks at its condition when no call arrives: the condition may watch other threads.
constexpr std::chrono::milliseconds kRecheck{10};
} // namespace

HeadlessUiDispatcher::~HeadlessUiDispatcher() {
    if (uiDispatcher() == this) {
        NetworkQueue::instance().shutdown();
        setUiDispatcher(nullptr);
    }
    close();
}

bool HeadlessUiDispatcher::sendSync(ThreadCall& call) {
    Pending pending{&call};
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) return false;
    pending_.push_back(&pending);
    arrived_.notify_all();
    // Once the UI thread has taken the call it lives until it has run, closed or not.
    finished_.wait(lock, [&] { return pending.done || (closed_ && !pending.taken); });
    if (!pending.done) pending_.erase(std::find(pending_.begin(), pending_.end(), &pending));
    return pending.done;
}

void HeadlessUiDispatcher::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    finished_.notify_all();
}

void HeadlessUiDispatcher::runFirst(std::unique_lock<std::mutex>& lock) {
    Pending* pending = pending_.front();
    pending_.pop_front();
    pending->taken = true;
    lock.unlock();
    struct Finish {
        HeadlessUiDispatcher& dispatcher;
        Pending& pending;
        std::unique_lock<std::mutex>& lock;
        ~Finish() {
            lock.lock();
            pending.done = true;
            dispatcher.finished_.notify_all();
        }
    } finish{*this, *pending, lock};
    pending->call->invoke();
}

bool HeadlessUiDispatcher::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const bool forever = timeout == kForever;
    const auto deadline =
        forever ? std::chrono::steady_clock::time_point::max() : std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (!forever && std::chrono::steady_clock::now() >= deadline) return false;
        std::unique_lock<std::mutex> lock(mutex_);
        if (pending_.empty()) arrived_.wait_for(lock, kRecheck);
        if (!pending_.empty()) runFirst(lock);
    }
    return true;
}

std::size_t HeadlessUiDispatcher::pumpPending() {
    std::size_t count = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (std::size_t n = pending_.size(); n > 0 && !pending_.empty(); --n, ++count)
        runFirst(lock);
    return count;
}

bool HeadlessUiDispatcher::waitForCalls(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return pending_.size() >= count; });
}

} // namespace volumira

#include "volumira-server/ConnectionPool.h"

namespace volumira::server {

ConnectionPool::ConnectionPool(std::size_t initialThreads, std::size_t maxThreads) : maxThreads_(maxThreads) {
    std::lock_guard lock(mutex_);
    while (threads_.size() < initialThreads && threads_.size() < maxThreads_) startThread();
}

ConnectionPool::~ConnectionPool() {
    shutdown();
}

void ConnectionPool::enqueue(std::function<void()> connection) {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(connection));
    // Connections beyond the cap wait for a thread to come free.
    if (idle_ < waiting_.size() && threads_.size() < maxThreads_) startThread();
    wake_.notify_one();
}

// Connections already accepted are served before the threads end.
void ConnectionPool::shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads) thread.join();
}

std::size_t ConnectionPool::threadCount() {
    std::lock_guard lock(mutex_);
    return threads_.size();
}

void ConnectionPool::startThread() {
    threads_.emplace_back([this] { work(); });
}

void ConnectionPool::work() {
    for (;;) {
        std::function<void()> connection;
        {
            std::unique_lock lock(mutex_);
            ++idle_;
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            --idle_;
            if (waiting_.empty()) return;
            connection = std::move(waiting_.front());
            waiting_.pop_front();
        }
        connection();
    }
}

} // namespace volumira::server

#pragma once

// The server's connection threads. cpp-httplib's own pool has a fixed handful of threads, each held by a
// connection for as long as its client takes to send a request: a few clients sending a byte a second
// starve everyone else. This pool starts another thread whenever every thread is busy, up to a cap, so
// slow clients hold only their own threads.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace volumira::server {

class ConnectionPool : public httplib::TaskQueue {
  public:
    ConnectionPool(std::size_t initialThreads, std::size_t maxThreads);
    ~ConnectionPool() override;
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    void enqueue(std::function<void()> connection) override;
    void shutdown() override;

    std::size_t threadCount();

  private:
    void startThread();
    void work();

    const std::size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> waiting_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

} // namespace volumira::server

#pragma once

// A small HTTP server on 127.0.0.1 with canned answers, and the headless UI thread the transfers report to.

#include "net/HeadlessUiDispatcher.h"
#include "net/UiDispatcher.h"

#include <chrono>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace volumira::test {

class CannedServer {
  public:
    // routes registers the answers; the server listens on a free loopback port once it returns.
    explicit CannedServer(const std::function<void(httplib::Server&)>& routes) {
        routes(server_);
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) throw std::runtime_error("Could not bind a loopback port.");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() before the accept loop runs would be lost and leave the loop running for ever.
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~CannedServer() {
        server_.stop();
        thread_.join();
    }
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;

    std::string url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// What a server handler saw, read by the test thread.
class Captured {
  public:
    void add(std::string text) {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(std::move(text));
    }
    std::vector<std::string> items() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> items_;
};

// Installs a headless dispatcher for the test's life; the test thread is the UI thread.
class UiThread {
  public:
    UiThread() { setUiDispatcher(&dispatcher_); }
    // Waits on the condition, running the reports that arrive; false when it did not come true in time.
    bool runUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(20)) {
        return dispatcher_.pumpUntil(done, limit);
    }

  private:
    // Its destructor shuts the network queue down and uninstalls it.
    HeadlessUiDispatcher dispatcher_;
};

} // namespace volumira::test

#pragma once

#include "FaultServer.h"
#include "net/HeadlessUiDispatcher.h"
#include "net/NetEventListener.h"
#include "net/NetworkQueue.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace volumira::test {

// A guard against hangs only: every wait below ends as soon as its condition holds.
inline constexpr std::chrono::seconds kPatience{20};

// Writes each report as one line; keeps the bytes that came with them.
class RecordingListener : public NetEventListener {
  public:
    void transferComplete(const std::uint8_t* data, std::size_t length) override {
        events.push_back("complete " + std::to_string(length) + (data ? "" : " null"));
        if (data) completeData.assign(reinterpret_cast<const char*>(data), length);
        finished = true;
        if (onFinal) onFinal();
    }
    void transferFailed(const std::string& message) override {
        events.push_back("failed " + message);
        finished = true;
        if (onFinal) onFinal();
    }
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override {
        events.push_back("headers " + contentType + " " + std::to_string(contentLength));
    }
    void dataReceived(const std::uint8_t* data, std::size_t length) override {
        events.push_back("data " + std::to_string(length) + (data ? "" : " null"));
        chunkSizes.push_back(length);
        if (data) streamed.append(reinterpret_cast<const char*>(data), length);
    }

    std::vector<std::string> events;
    std::vector<std::size_t> chunkSizes;
    std::string streamed;
    std::string completeData;
    bool finished = false;
    // Run inside the final report.
    std::function<void()> onFinal;
};

// A server on loopback and a dispatcher pumped by the test's own thread, which is the UI thread.
class NetTest : public ::testing::Test {
  protected:
    void SetUp() override { setUiDispatcher(&dispatcher); }

    bool pumpUntil(const std::function<bool()>& done) { return dispatcher.pumpUntil(done, kPatience); }
    bool pumpUntilFinished(const RecordingListener& listener) {
        return pumpUntil([&] { return listener.finished; });
    }
    NetworkQueue& queue() { return NetworkQueue::instance(); }

    // Declared first so that it outlives the dispatcher, whose end shuts the transfers down.
    FaultServer server;
    HeadlessUiDispatcher dispatcher;
};

} // namespace volumira::test

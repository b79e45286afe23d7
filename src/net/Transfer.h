#pragma once

#include "net/NetFile.h"

#include <atomic>
#include <cstdint>
#include <curl/curl.h>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class ThreadCall;

// One HTTP transfer over libcurl, run on a thread of its own by the network queue. Shared by its owner's
// handle, the queue's lists and its thread, so that whichever lets go last frees it.
class Transfer final : public std::enable_shared_from_this<Transfer> {
  public:
    // Reads are made in chunks of this size.
    static constexpr std::size_t kChunkSize = 4096;

    // Throws std::runtime_error when curl cannot give the transfer its handles.
    Transfer(std::string url, std::string body, NetEventListener* listener, bool keepData,
             const std::string& userAgent, std::uint64_t maxBytes = kMaxDownloadBytes);
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer();

    // UI thread. Stops all further reports and frees the queue place; a running thread winds down by
    // itself. Harmless when repeated or after the final report.
    void cancel();
    // Begins the thread; called by the queue with its lock held.
    void start();
    bool isCancelled() const { return cancelled_.load(); }

  private:
    static void threadMain(std::shared_ptr<Transfer> transfer);
    void run();
    void configure();
    // Runs curl until the response has been read, the transfer is cancelled or delivery stops.
    int perform();
    // Checks the status and headers once they are complete and reports them; false (with error_ set) for a
    // failure, or when the report could not be delivered.
    bool acceptHeaders();
    bool passOn(const std::uint8_t* data, std::size_t count);
    void fail(const std::string& message);
    // Hands the report to the UI thread and waits; false when cancelled or when nothing can be delivered.
    bool deliver(ThreadCall& report);
    void close();
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);

    NetEventListener* listener_;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string url_;
    std::string body_;
    std::string userAgent_;
    std::string host_;
    std::vector<std::uint8_t> received_;
    std::string error_;
    char curlError_[256] = {};
    bool keepData_;
    std::uint64_t maxBytes_;
    std::uint64_t bodyBytes_ = 0;
    bool headersDone_ = false;
    // Set when a report could not be delivered: the transfer ends without further reports.
    bool stopped_ = false;
    // Guarded by the queue's lock: a thread exists, and it has ended.
    bool started_ = false;
    bool threadEnded_ = false;
    std::atomic<bool> cancelled_{false};
};

} // namespace volumira

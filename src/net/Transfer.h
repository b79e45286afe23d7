#pragma once

#include "net/NetFile.h"

#include <atomic>
#include <cstdint>
#include <curl/curl.h>
#include <string>
#include <vector>

namespace volumira {

class ThreadCall;

// One HTTP transfer over libcurl, run on a thread of its own by the network queue.
class Transfer final : public NetFile {
  public:
    // Reads are made in chunks of this size.
    static constexpr std::size_t kChunkSize = 4096;

    // Throws std::runtime_error when curl cannot give the transfer its handles.
    Transfer(std::string url, std::string body, NetEventListener* listener, bool keepData,
             const std::string& userAgent);
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    void cancel() override;
    // Begins the thread; called by the queue with its lock held.
    void start();
    bool isCancelled() const { return cancelled_.load(); }

  private:
    ~Transfer() override;
    static void threadMain(Transfer* transfer);
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
    bool headersDone_ = false;
    // Set when a report could not be delivered: the transfer ends without further reports.
    bool stopped_ = false;
    // Set when the final report reached the listener; its owner has then dropped the handle.
    bool finished_ = false;
    // Guarded by the queue's lock: a thread exists, and it has ended.
    bool started_ = false;
    bool threadEnded_ = false;
    std::atomic<bool> cancelled_{false};
};

} // namespace volumira

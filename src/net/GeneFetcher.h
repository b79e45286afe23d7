#pragma once

#include "net/GeneFetchCompletionListener.h"
#include "net/NetEventListener.h"
#include "net/NetFile.h"

#include <cstdint>
#include <string>

namespace volumira {

// Downloads one expression grid file at a time, follows its progress and hands the whole file to a listener.
// UI thread only.
class GeneFetcher : public NetEventListener {
  public:
    GeneFetcher() = default;
    GeneFetcher(const GeneFetcher&) = delete;
    GeneFetcher& operator=(const GeneFetcher&) = delete;
    // Cancels a running transfer; no report reaches the destroyed fetcher.
    ~GeneFetcher() override;

    // Cancels a transfer still running, then starts downloading url. Throws std::runtime_error "Could not
    // connect to server." when no transfer can be created.
    void fetch(const std::string& name, const std::string& url, GeneFetchCompletionListener* listener,
               int value);
    bool isFetching() const { return static_cast<bool>(transfer_); }
    // Cancels the transfer, if any, and forgets name, value, listener and progress.
    void cancel();
    float progress() const { return progress_; }
    int value() const { return value_; }
    const char* name() const { return name_.c_str(); }
    std::uint64_t expectedBytes() const { return expected_; }
    std::uint64_t receivedBytes() const { return received_; }

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override;
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

  private:
    std::string name_;
    GeneFetchCompletionListener* listener_ = nullptr;
    TransferHandle transfer_;
    int value_ = 0;
    std::uint64_t expected_ = 0;
    std::uint64_t received_ = 0;
    float progress_ = 0.0f;
};

} // namespace volumira

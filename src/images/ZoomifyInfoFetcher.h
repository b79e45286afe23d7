#pragma once

#include "images/ImageProperties.h"
#include "net/NetEventListener.h"
#include "net/NetFile.h"

#include <string>

namespace volumira {

class ZoomifyInfoFetcher;

// Told once whether the properties of a pyramid arrived.
class ZoomifyInfoCompletionListener {
  public:
    virtual ~ZoomifyInfoCompletionListener();
    virtual void infoReady(ZoomifyInfoFetcher& fetcher) = 0;
    virtual void infoFailed(ZoomifyInfoFetcher& fetcher, const std::string& message) = 0;
};

// Reads one pyramid's "ImageProperties.xml". UI thread only; dropping the fetcher cancels its transfer.
class ZoomifyInfoFetcher : public NetEventListener {
  public:
    // A properties file is a line of XML; anything longer is not one.
    static constexpr std::uint64_t kMaxBytes = 64 * 1024;

    ZoomifyInfoFetcher() = default;
    ZoomifyInfoFetcher(const ZoomifyInfoFetcher&) = delete;
    ZoomifyInfoFetcher& operator=(const ZoomifyInfoFetcher&) = delete;

    // Throws std::runtime_error "Could not connect to image server." when no transfer can be made.
    void fetch(const std::string& url, ZoomifyInfoCompletionListener* listener);
    const ImageProperties& properties() const { return properties_; }

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string&, std::uint64_t) override {}
    void dataReceived(const std::uint8_t*, std::size_t) override {}

  private:
    ZoomifyInfoCompletionListener* listener_ = nullptr;
    TransferHandle transfer_;
    ImageProperties properties_;
};

} // namespace volumira

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace volumira {

// Receives the reports of one transfer, always on the UI thread and one at a time, in this order:
// headersReceived at most once, dataReceived once per chunk, then exactly one of transferComplete or
// transferFailed. A failure may come at any point, also before the headers.
class NetEventListener {
  public:
    virtual ~NetEventListener();
    // In keep-data mode the whole body; otherwise null and 0. The bytes are valid during the call only.
    virtual void transferComplete(const std::uint8_t* data, std::size_t length) = 0;
    virtual void transferFailed(const std::string& message) = 0;
    // contentLength is 0 when the server announced none.
    virtual void headersReceived(const std::string& contentType, std::uint64_t contentLength) = 0;
    // In keep-data mode null with the chunk's size (progress only); otherwise the chunk, valid during the
    // call only.
    virtual void dataReceived(const std::uint8_t* data, std::size_t length) = 0;
};

} // namespace volumira

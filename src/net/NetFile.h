#pragma once

#include "net/NetEventListener.h"

#include <cstdint>
#include <memory>
#include <string>

namespace volumira {

class Transfer;

// What one transfer may receive at most unless its caller says otherwise: a larger download fails rather
// than grow without bound.
inline constexpr std::uint64_t kMaxDownloadBytes = 256ull << 20;
// The limit for XML responses, which are parsed as text.
inline constexpr std::uint64_t kMaxXmlBytes = 64ull << 20;

// The owner's handle of one transfer; move-only. Dropping it, assigning over it or cancel() cancels the
// transfer: after that the listener receives no further report, not even one already on its way. UI thread
// only. Cancelling is harmless when repeated, after the final report, and from inside any report. The
// transfer's thread and the queue keep what they still need alive by themselves.
class [[nodiscard]] TransferHandle {
  public:
    TransferHandle() = default;
    explicit TransferHandle(std::shared_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}
    TransferHandle(TransferHandle&& other) noexcept = default;
    TransferHandle& operator=(TransferHandle&& other) noexcept;
    TransferHandle(const TransferHandle&) = delete;
    TransferHandle& operator=(const TransferHandle&) = delete;
    ~TransferHandle() { cancel(); }

    // Cancels and empties the handle.
    void cancel() noexcept;
    explicit operator bool() const { return transfer_ != nullptr; }

  private:
    std::shared_ptr<Transfer> transfer_;
};

// Starts a GET of url (UTF-8) through the network queue; reports go to listener on the UI thread until the
// handle is dropped. With keepData the body is collected and handed over whole at completion, otherwise each
// chunk is passed on. A response of more than maxBytes fails. Throws std::runtime_error "Could not connect
// to server." when the transfer cannot be created; every other failure arrives as transferFailed.
TransferHandle openUrl(const std::string& url, NetEventListener* listener, bool keepData,
                       std::uint64_t maxBytes = kMaxDownloadBytes);

// The same with a request body: a non-empty body makes the transfer a SOAP POST.
TransferHandle postUrl(const std::string& url, const std::string& body, NetEventListener* listener,
                       bool keepData, std::uint64_t maxBytes = kMaxDownloadBytes);

} // namespace volumira

#include "net/NetFile.h"

#include "net/NetworkQueue.h"
#include "net/Transfer.h"
#include "preferences/UserPreferences.h"

#include <stdexcept>

namespace volumira {

NetEventListener::~NetEventListener() = default;

namespace {

// Taken from the preferences at the first transfer and kept for the rest of the run.
const std::string& agentText() {
    static const std::string agent = UserPreferences::instance().userAgent();
    return agent;
}

} // namespace

TransferHandle& TransferHandle::operator=(TransferHandle&& other) noexcept {
    if (this != &other) {
        cancel();
        transfer_ = std::move(other.transfer_);
    }
    return *this;
}

void TransferHandle::cancel() noexcept {
    // Emptied first: a listener call cannot reach this handle again through cancel().
    std::shared_ptr<Transfer> transfer = std::move(transfer_);
    if (transfer) transfer->cancel();
}

TransferHandle postUrl(const std::string& url, const std::string& body, NetEventListener* listener,
                       bool keepData, std::uint64_t maxBytes) {
    auto transfer = std::make_shared<Transfer>(url, body, listener, keepData, agentText(), maxBytes);
    try {
        NetworkQueue::instance().add(transfer);
    } catch (...) {
        throw std::runtime_error("Could not connect to server.");
    }
    return TransferHandle(std::move(transfer));
}

TransferHandle openUrl(const std::string& url, NetEventListener* listener, bool keepData,
                       std::uint64_t maxBytes) {
    return postUrl(url, std::string(), listener, keepData, maxBytes);
}

} // namespace volumira

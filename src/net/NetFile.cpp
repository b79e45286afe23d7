#include "net/NetFile.h"

#include "net/NetworkQueue.h"
#include "net/Transfer.h"
#include "preferences/UserPreferences.h"

namespace volumira {

NetEventListener::~NetEventListener() = default;
NetFile::~NetFile() = default;

namespace {

// Taken from the preferences at the first transfer and kept for the rest of the run.
const std::string& agentText() {
    static const std::string agent = UserPreferences::instance().userAgent();
    return agent;
}

} // namespace

NetFile* postUrl(const std::string& url, const std::string& body, NetEventListener* listener, bool keepData) {
    NetworkQueue& queue = NetworkQueue::instance();
    auto* transfer = new Transfer(url, body, listener, keepData, agentText());
    try {
        queue.add(transfer);
    } catch (...) {
        // Never started, so cancelling deletes it.
        transfer->cancel();
        throw std::runtime_error("Could not connect to server.");
    }
    return transfer;
}

NetFile* openUrl(const std::string& url, NetEventListener* listener, bool keepData) {
    return postUrl(url, std::string(), listener, keepData);
}

} // namespace volumira

#include "images/ZoomifyInfoFetcher.h"

#include <stdexcept>

namespace volumira {

ZoomifyInfoCompletionListener::~ZoomifyInfoCompletionListener() = default;

void ZoomifyInfoFetcher::fetch(const std::string& url, ZoomifyInfoCompletionListener* listener) {
    transfer_.cancel();
    listener_ = listener;
    try {
        transfer_ = openUrl(url, this, true, kMaxBytes);
    } catch (const std::runtime_error&) {
        throw std::runtime_error("Could not connect to image server.");
    }
}

void ZoomifyInfoFetcher::transferComplete(const std::uint8_t* data, std::size_t length) {
    ZoomifyInfoCompletionListener* listener = listener_;
    if (!listener) return;
    std::string error;
    try {
        properties_ = parseImageProperties(data, length);
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (error.empty())
        listener->infoReady(*this);
    else
        listener->infoFailed(*this, error);
}

void ZoomifyInfoFetcher::transferFailed(const std::string& message) {
    if (ZoomifyInfoCompletionListener* listener = listener_) listener->infoFailed(*this, message);
}

} // namespace volumira

#include "net/GeneFetcher.h"

#include <algorithm>
#include <stdexcept>

namespace volumira {

GeneFetchCompletionListener::~GeneFetchCompletionListener() = default;

GeneFetcher::~GeneFetcher() {
    cancel();
}

void GeneFetcher::fetch(const std::string& name, const std::string& url,
                        GeneFetchCompletionListener* listener, int value) {
    cancel();
    name_ = name;
    value_ = value;
    listener_ = listener;
    expected_ = 0;
    received_ = 0;
    progress_ = 0.0f;
    try {
        transfer_ = openUrl(url, this, true);
    } catch (const std::exception&) {
        throw std::runtime_error("Could not connect to server.");
    }
}

void GeneFetcher::cancel() {
    transfer_.cancel();
    name_.clear();
    value_ = 0;
    listener_ = nullptr;
    progress_ = 0.0f;
}

void GeneFetcher::headersReceived(const std::string&, std::uint64_t contentLength) {
    expected_ = contentLength;
    received_ = 0;
    if (listener_) listener_->fetchProgress(*this, 0.0f);
}

void GeneFetcher::dataReceived(const std::uint8_t*, std::size_t length) {
    received_ += length;
    // A server that sends more than it announced still ends at 1.
    if (expected_ != 0)
        progress_ = static_cast<float>(
            std::min(1.0, static_cast<double>(received_) / static_cast<double>(expected_)));
    if (listener_) listener_->fetchProgress(*this, progress_);
}

void GeneFetcher::transferComplete(const std::uint8_t* data, std::size_t length) {
    // The final report: the fetcher is idle from here on, and the listener may start the next fetch.
    transfer_.cancel();
    if (listener_) listener_->fetchComplete(*this, data, length);
}

void GeneFetcher::transferFailed(const std::string& message) {
    // The final report: the fetcher is idle from here on, also when the listener neither cancels nor starts
    // another fetch. Nothing of the fetcher is touched after the listener call, which may destroy it.
    transfer_.cancel();
    if (listener_) listener_->fetchFailed(*this, message);
}

} // namespace volumira

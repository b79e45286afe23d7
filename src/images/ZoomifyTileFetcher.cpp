#include "images/ZoomifyTileFetcher.h"

#include "storage/TileCache.h"

#include <algorithm>
#include <stdexcept>

namespace volumira {

ZoomifyTileCompletionListener::~ZoomifyTileCompletionListener() = default;

void ZoomifyTileFetcher::fetch(const std::string& url, ZoomifyTileCompletionListener* listener,
                               std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y, int tile,
                               int layer) {
    cancel();
    listener_ = listener;
    imageId_ = imageId;
    level_ = level;
    x_ = x;
    y_ = y;
    tile_ = tile;
    layer_ = layer;
    bytes_.clear();
    active_ = true;
    fromCache_ = cache_->retrieve(imageId, level, x, y, bytes_);
    if (fromCache_) {
        listener_->tileReady(*this);
        return;
    }
    try {
        transfer_ = openUrl(url, this, false, kMaxBytes);
    } catch (const std::runtime_error&) {
        active_ = false;
        throw std::runtime_error("Could not connect to image server.");
    }
}

void ZoomifyTileFetcher::cancel() {
    transfer_.cancel();
    active_ = false;
}

void ZoomifyTileFetcher::removeFromCache() { cache_->remove(imageId_, level_, x_, y_); }

void ZoomifyTileFetcher::headersReceived(const std::string&, std::uint64_t contentLength) {
    // The announced length is only a hint: a lying server must not make us reserve gigabytes.
    bytes_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(contentLength, kMaxBytes)));
}

void ZoomifyTileFetcher::dataReceived(const std::uint8_t* data, std::size_t length) {
    if (!active_) return;
    bytes_.insert(bytes_.end(), data, data + length);
    listener_->tileProgress(*this, length);
}

void ZoomifyTileFetcher::transferComplete(const std::uint8_t*, std::size_t) {
    if (!active_) return;
    cache_->store(imageId_, level_, x_, y_, bytes_.data(), bytes_.size());
    listener_->tileReady(*this);
}

void ZoomifyTileFetcher::transferFailed(const std::string& message) {
    if (!active_) return;
    bytes_.clear();
    bytes_.shrink_to_fit();
    listener_->tileFailed(*this, message);
}

} // namespace volumira

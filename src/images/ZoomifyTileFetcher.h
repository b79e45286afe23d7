#pragma once

#include "net/NetEventListener.h"
#include "net/NetFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace volumira {

class TileCache;
class ZoomifyTileFetcher;

// Told about one tile: progress per chunk, then whether it arrived. The listener may cancel the fetcher in
// any of the calls.
class ZoomifyTileCompletionListener {
  public:
    virtual ~ZoomifyTileCompletionListener();
    virtual void tileReady(ZoomifyTileFetcher& fetcher) = 0;
    virtual void tileFailed(ZoomifyTileFetcher& fetcher, const std::string& message) = 0;
    virtual void tileProgress(ZoomifyTileFetcher& fetcher, std::size_t count) = 0;
};

// Gets one tile of a pyramid, from its tile cache when held there, else from the server (and then into the
// cache). UI thread only; dropping or cancelling the fetcher cancels its transfer and silences it.
class ZoomifyTileFetcher : public NetEventListener {
  public:
    // A 256-pixel JPEG tile is tens of kilobytes; a body far larger is not a tile.
    static constexpr std::uint64_t kMaxBytes = 8ull << 20;

    // The cache is not owned and must outlive the fetcher.
    explicit ZoomifyTileFetcher(TileCache& cache) : cache_(&cache) {}
    ZoomifyTileFetcher(const ZoomifyTileFetcher&) = delete;
    ZoomifyTileFetcher& operator=(const ZoomifyTileFetcher&) = delete;

    // Starts getting the tile at url, cancelling what ran before. A cached tile is reported at once, from
    // inside this call. tile and layer are the caller's own labels. Throws std::runtime_error "Could not
    // connect to image server." when no transfer can be made.
    void fetch(const std::string& url, ZoomifyTileCompletionListener* listener, std::int32_t imageId,
               std::int32_t level, std::int32_t x, std::int32_t y, int tile, int layer);
    void cancel();
    bool isActive() const { return active_; }
    int tile() const { return tile_; }
    int layer() const { return layer_; }
    // The tile's bytes once it arrived (from the server or the cache).
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    // Whether the last tile came from the cache rather than the server.
    bool fromCache() const { return fromCache_; }
    // For bytes that turned out not to be a usable tile: the next request fetches them again.
    void removeFromCache();

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override;
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

  private:
    TileCache* cache_;
    ZoomifyTileCompletionListener* listener_ = nullptr;
    TransferHandle transfer_;
    std::int32_t imageId_ = 0, level_ = 0, x_ = 0, y_ = 0;
    int tile_ = -1, layer_ = 0;
    bool active_ = false;
    bool fromCache_ = false;
    std::vector<std::uint8_t> bytes_;
};

} // namespace volumira

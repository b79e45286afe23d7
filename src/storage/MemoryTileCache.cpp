#include "storage/MemoryTileCache.h"

#include "storage/MemoryCacheSupport.h"

namespace volumira {

void MemoryTileCache::store(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y,
                            const void* data, std::size_t length) {
    std::vector<std::uint8_t> bytes = copyCacheBytes(data, length);
    Image& image = images_[imageId];
    image.tiles.emplace(TileKey{level, x, y}, std::move(bytes));
    image.lastAccess = ++accessCounter_;
    image.size += length;
    total_ += length;
    clean();
}

bool MemoryTileCache::retrieve(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y,
                               std::vector<std::uint8_t>& out) {
    const auto image = images_.find(imageId);
    if (image == images_.end()) return false;
    const auto tile = image->second.tiles.find(TileKey{level, x, y});
    if (tile == image->second.tiles.end()) return false;
    out = tile->second;
    // Reading one tile keeps the whole image, so a section being viewed stays together.
    image->second.lastAccess = ++accessCounter_;
    return true;
}

void MemoryTileCache::remove(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y) {
    const auto image = images_.find(imageId);
    if (image == images_.end()) return;
    const auto tile = image->second.tiles.find(TileKey{level, x, y});
    if (tile == image->second.tiles.end()) return;
    const std::uint64_t size = tile->second.size();
    image->second.tiles.erase(tile);
    image->second.size -= size;
    total_ -= size;
}

void MemoryTileCache::clean() {
    evictLeastRecent(images_, total_, [](const Image& image) { return image.size; });
}

bool MemoryTileCache::contains(std::int32_t imageId, std::int32_t level, std::int32_t x,
                               std::int32_t y) const {
    const auto image = images_.find(imageId);
    return image != images_.end() && image->second.tiles.count(TileKey{level, x, y}) > 0;
}

} // namespace volumira

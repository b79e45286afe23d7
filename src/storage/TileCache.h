#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace volumira {

// Downloaded image tiles, keyed by image id, pyramid level and tile position.
class TileCache {
  public:
    virtual ~TileCache() = default;
    virtual void store(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y,
                       const void* data, std::size_t length) = 0;
    // Copies the tile's bytes into `out`; false, with `out` untouched, when the tile is not held.
    virtual bool retrieve(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y,
                          std::vector<std::uint8_t>& out) = 0;
    virtual void remove(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y) = 0;
    virtual void clean() = 0;
};

} // namespace volumira

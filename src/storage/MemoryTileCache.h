#pragma once

#include "storage/TileCache.h"

#include <map>
#include <tuple>

namespace volumira {

// Keeps tiles in memory for the run; an image with all its tiles is the unit of eviction.
class MemoryTileCache : public TileCache {
  public:
    void store(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y, const void* data,
               std::size_t length) override;
    bool retrieve(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y,
                  std::vector<std::uint8_t>& out) override;
    void remove(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y) override;
    void clean() override;

    // Looks without counting as an access.
    bool contains(std::int32_t imageId, std::int32_t level, std::int32_t x, std::int32_t y) const;
    std::uint64_t total() const { return total_; }

  private:
    using TileKey = std::tuple<std::int32_t, std::int32_t, std::int32_t>; // level, x, y

    struct Image {
        std::uint64_t lastAccess = 0;
        std::uint64_t size = 0;
        // Duplicates of one tile are kept in the order they were stored.
        std::multimap<TileKey, std::vector<std::uint8_t>> tiles;
    };

    std::map<std::int32_t, Image> images_;
    std::uint64_t total_ = 0;
    // Access order, not clock time: entries touched within the same second must still be told apart.
    std::uint64_t accessCounter_ = 0;
};

} // namespace volumira

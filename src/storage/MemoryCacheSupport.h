#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace volumira {

// The memory caches start dropping entries when they reach 4 MiB and stop at 3 MiB or less.
inline constexpr std::uint64_t kCacheCleanThreshold = 4194304;
inline constexpr std::uint64_t kCacheCleanTarget = 3145728;

// A cache's own copy of stored bytes; a missing block with a length is refused rather than read.
inline std::vector<std::uint8_t> copyCacheBytes(const void* data, std::size_t length) {
    if (length == 0) return {};
    if (data == nullptr) throw std::invalid_argument("No data given for a cache entry.");
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

// Drops whole units of a std::map, least recently accessed first (by their `lastAccess` sequence number),
// once `total` has reached the threshold, until no more than the target remains.
template <class Map, class SizeOf> void evictLeastRecent(Map& units, std::uint64_t& total, SizeOf sizeOf) {
    if (total < kCacheCleanThreshold) return;
    std::vector<typename Map::iterator> order;
    order.reserve(units.size());
    for (auto it = units.begin(); it != units.end(); ++it)
        order.push_back(it);
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a->second.lastAccess < b->second.lastAccess; });
    for (auto it : order) {
        if (total <= kCacheCleanTarget) break;
        total -= sizeOf(it->second);
        units.erase(it);
    }
}

} // namespace volumira

#include "io/MemoryStream.h"
#include "storage/MemoryGeneExpressionCache.h"
#include "storage/MemoryTileCache.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace volumira {
namespace {

// Both memory caches evict the same way; these adapters give each unit a number so one table serves both.
struct TileCacheUnits {
    MemoryTileCache cache;
    void store(int unit, std::size_t bytes) {
        const std::vector<std::uint8_t> data(bytes, static_cast<std::uint8_t>(unit));
        cache.store(unit, 2, 3, 4, data.data(), data.size());
    }
    bool touch(int unit) {
        std::vector<std::uint8_t> out;
        return cache.retrieve(unit, 2, 3, 4, out);
    }
    bool holds(int unit) const { return cache.contains(unit, 2, 3, 4); }
};

struct ExpressionCacheUnits {
    MemoryGeneExpressionCache cache;
    void store(int unit, std::size_t bytes) {
        const std::vector<std::uint8_t> data(bytes, static_cast<std::uint8_t>(unit));
        cache.store(unit, 5, kExperimentId, data.data(), data.size());
    }
    bool touch(int unit) {
        MemoryStream out;
        return cache.retrieve(unit, 5, kExperimentId, out);
    }
    bool holds(int unit) const { return cache.contains(unit, kExperimentId); }
};

constexpr std::size_t kMiB = 1048576;

// A step stores a unit of `bytes` (bytes > 0) or, with bytes == 0, reads unit `unit` back.
struct Step {
    int unit;
    std::size_t bytes;
};

struct EvictionCase {
    const char* name;
    std::vector<Step> steps;
    std::set<int> survivors;
    std::uint64_t total;
};

const EvictionCase kEvictionCases[] = {
    {"JustBelowFourMiBKeepsAll", {{0, kMiB}, {1, kMiB}, {2, kMiB}, {3, kMiB - 1}}, {0, 1, 2, 3}, 4194303},
    // One more byte reaches 4 MiB: the oldest unit goes and exactly 3 MiB remain, which is few enough.
    {"OneMoreByteDropsOldest",
     {{0, kMiB}, {1, kMiB}, {2, kMiB}, {3, kMiB - 1}, {4, 1}},
     {1, 2, 3, 4},
     3145728},
    {"ReadingRefreshes",
     {{0, kMiB}, {1, kMiB}, {2, kMiB}, {3, kMiB - 1}, {0, 0}, {4, 1}},
     {0, 2, 3, 4},
     3145728},
    {"DropsSeveralUntilThreeMiB",
     {{0, kMiB / 2},
      {1, kMiB / 2},
      {2, kMiB / 2},
      {3, kMiB / 2},
      {4, kMiB / 2},
      {5, kMiB / 2},
      {6, kMiB / 2},
      {7, kMiB / 2}},
     {2, 3, 4, 5, 6, 7},
     3145728},
    {"StoredUnitIsDroppedLast", {{0, kMiB}, {1, kMiB}, {2, 3 * kMiB}}, {2}, 3 * kMiB},
    {"UnitOfFourMiBAloneIsDropped", {{0, 4 * kMiB}}, {}, 0},
    {"UnitAboveFourMiBEmptiesTheCache", {{0, 100}, {1, 4 * kMiB + 1}}, {}, 0},
};

template <class Units> class CacheEviction : public testing::Test {};

using CacheKinds = testing::Types<TileCacheUnits, ExpressionCacheUnits>;
TYPED_TEST_SUITE(CacheEviction, CacheKinds);

TYPED_TEST(CacheEviction, DropsLeastRecentlyAccessedUnitsAtFourMiB) {
    for (const EvictionCase& c : kEvictionCases) {
        SCOPED_TRACE(c.name);
        TypeParam units;
        std::set<int> seen;
        for (const Step& step : c.steps) {
            if (step.bytes == 0) {
                EXPECT_TRUE(units.touch(step.unit));
            } else {
                units.store(step.unit, step.bytes);
                seen.insert(step.unit);
            }
        }
        for (const int unit : seen)
            EXPECT_EQ(units.holds(unit), c.survivors.count(unit) == 1) << unit;
        EXPECT_EQ(units.cache.total(), c.total);
    }
}

TYPED_TEST(CacheEviction, CleanBelowFourMiBAndRemoveKeepTotalsRight) {
    TypeParam units;
    units.store(0, kMiB);
    units.store(1, 2 * kMiB);
    units.cache.clean();
    EXPECT_TRUE(units.holds(0));
    EXPECT_TRUE(units.holds(1));
    EXPECT_EQ(units.cache.total(), 3 * kMiB);
    // Removing a unit must lower the total, or later cleans would evict too early.
    if constexpr (std::is_same_v<TypeParam, TileCacheUnits>) {
        units.cache.remove(1, 2, 3, 4);
    } else {
        units.cache.remove(1, 5, kExperimentId);
    }
    EXPECT_FALSE(units.holds(1));
    EXPECT_EQ(units.cache.total(), kMiB);
}

} // namespace
} // namespace volumira

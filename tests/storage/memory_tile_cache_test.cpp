#include "storage/Caches.h"
#include "storage/MemoryTileCache.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace volumira {
namespace {

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

void storeText(MemoryTileCache& cache, int image, int level, int x, int y, const std::string& text) {
    cache.store(image, level, x, y, text.data(), text.size());
}

TEST(MemoryTileCache, TilesAreKeyedExactlyByLevelAndPosition) {
    // Keys chosen so that x*x + y*y + level*level collides, which must not confuse the lookup.
    struct Key {
        int level, x, y;
        const char* text;
    };
    const Key keys[] = {{0, 3, 4, "a"}, {0, 4, 3, "b"}, {5, 0, 0, "c"}, {3, 0, 4, "d"}, {0, -3, 4, "e"}};
    MemoryTileCache cache;
    for (const Key& k : keys)
        storeText(cache, 1, k.level, k.x, k.y, k.text);
    for (const Key& k : keys) {
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(cache.retrieve(1, k.level, k.x, k.y, out)) << k.text;
        EXPECT_EQ(out, bytes(k.text));
    }
    EXPECT_EQ(cache.total(), 5u);

    std::vector<std::uint8_t> out = bytes("untouched");
    EXPECT_FALSE(cache.retrieve(1, 0, 0, 5, out)); // same x*x + y*y + level*level as (0, 3, 4)
    EXPECT_FALSE(cache.retrieve(2, 0, 3, 4, out)); // other image
    EXPECT_EQ(out, bytes("untouched"));
}

TEST(MemoryTileCache, DuplicateTilesAreKeptAndRemovedOneAtATime) {
    MemoryTileCache cache;
    storeText(cache, 7, 2, 1, 1, "first");
    storeText(cache, 7, 2, 1, 1, "second!");
    EXPECT_EQ(cache.total(), 12u);

    std::vector<std::uint8_t> out;
    ASSERT_TRUE(cache.retrieve(7, 2, 1, 1, out));
    EXPECT_EQ(out, bytes("first"));

    cache.remove(7, 2, 1, 1);
    EXPECT_EQ(cache.total(), 7u);
    ASSERT_TRUE(cache.retrieve(7, 2, 1, 1, out));
    EXPECT_EQ(out, bytes("second!"));

    cache.remove(7, 2, 1, 1);
    cache.remove(7, 2, 1, 1); // nothing left: no effect
    cache.remove(8, 2, 1, 1);
    EXPECT_EQ(cache.total(), 0u);
    EXPECT_FALSE(cache.contains(7, 2, 1, 1));

    // The emptied image can take tiles again.
    storeText(cache, 7, 2, 1, 1, "third");
    ASSERT_TRUE(cache.retrieve(7, 2, 1, 1, out));
    EXPECT_EQ(out, bytes("third"));
}

TEST(MemoryTileCache, ReadingOneTileKeepsTheWholeImage) {
    constexpr std::size_t kMiB = 1048576;
    const std::vector<std::uint8_t> block(kMiB, 0x5a);
    MemoryTileCache cache;
    cache.store(1, 0, 0, 0, block.data(), kMiB);
    cache.store(1, 0, 1, 0, block.data(), kMiB);
    cache.store(2, 0, 0, 0, block.data(), kMiB);

    std::vector<std::uint8_t> out;
    ASSERT_TRUE(cache.retrieve(1, 0, 1, 0, out)); // image 1 becomes the most recent
    cache.store(3, 0, 0, 0, block.data(), kMiB);  // 4 MiB: one image has to go

    EXPECT_FALSE(cache.contains(2, 0, 0, 0));
    EXPECT_TRUE(cache.contains(1, 0, 0, 0));
    EXPECT_TRUE(cache.contains(1, 0, 1, 0));
    EXPECT_TRUE(cache.contains(3, 0, 0, 0));
    EXPECT_EQ(cache.total(), 3 * kMiB);
}

TEST(MemoryTileCache, StoredBytesAreCopiedAndMissingDataIsRefused) {
    MemoryTileCache cache;
    std::string text = "tile";
    storeText(cache, 1, 0, 0, 0, text);
    text[0] = 'X';
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(cache.retrieve(1, 0, 0, 0, out));
    EXPECT_EQ(out, bytes("tile"));

    cache.store(1, 0, 0, 1, nullptr, 0);
    ASSERT_TRUE(cache.retrieve(1, 0, 0, 1, out));
    EXPECT_TRUE(out.empty());
    EXPECT_THROW(cache.store(1, 0, 0, 2, nullptr, 10), std::invalid_argument);
    EXPECT_FALSE(cache.contains(1, 0, 0, 2));
    EXPECT_EQ(cache.total(), 4u);
}

TEST(Caches, FourDistinctProcessWideCaches) {
    EXPECT_NE(&resultListThumbnailCache(), &thumbnailPanelCache());
    EXPECT_EQ(&resultListThumbnailCache(), &resultListThumbnailCache());
    EXPECT_NE(&sectionImageTileCache(0), &sectionImageTileCache(1));
    EXPECT_EQ(&sectionImageTileCache(1), &sectionImageTileCache(1));
    EXPECT_THROW(sectionImageTileCache(2), std::invalid_argument);
    EXPECT_THROW(sectionImageTileCache(-1), std::invalid_argument);
}

} // namespace
} // namespace volumira

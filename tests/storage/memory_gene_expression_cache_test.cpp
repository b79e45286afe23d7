#include "io/MemoryStream.h"
#include "storage/MemoryGeneExpressionCache.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace volumira {
namespace {

std::string text(const MemoryStream& stream) {
    return {reinterpret_cast<const char*>(stream.data()), stream.size()};
}

void storeText(MemoryGeneExpressionCache& cache, int id, int level, int type, const std::string& bytes) {
    cache.store(id, level, type, bytes.data(), bytes.size());
}

TEST(MemoryGeneExpressionCache, RetrieveSizesAndRewindsTheStream) {
    MemoryGeneExpressionCache cache;
    storeText(cache, 42, 3, kGeneId, "grid");

    for (const std::size_t initialSize : {std::size_t{0}, std::size_t{2}, std::size_t{100}}) {
        MemoryStream out(initialSize);
        out.seek(static_cast<std::int32_t>(initialSize));
        ASSERT_TRUE(cache.retrieve(42, 3, kGeneId, out));
        EXPECT_EQ(text(out), "grid");
        EXPECT_EQ(out.tell(), 0);
    }

    MemoryStream untouched(3);
    untouched.data()[0] = 9;
    EXPECT_FALSE(cache.retrieve(41, 3, kGeneId, untouched));
    EXPECT_FALSE(cache.retrieve(42, 3, kImageSeriesId, untouched));
    EXPECT_EQ(untouched.size(), 3u);
    EXPECT_EQ(untouched.data()[0], 9);
}

TEST(MemoryGeneExpressionCache, AnIdHoldsOneFileWhateverTheTypeOrLevel) {
    MemoryGeneExpressionCache cache;
    storeText(cache, 5, 0, kImageSeriesId, "series-file");
    storeText(cache, 6, 0, kImageSeriesId, "other");
    storeText(cache, 5, 0, kExperimentId, "exp");
    EXPECT_EQ(cache.total(), 8u);

    MemoryStream out;
    EXPECT_FALSE(cache.retrieve(5, 0, kImageSeriesId, out));
    ASSERT_TRUE(cache.retrieve(5, 0, kExperimentId, out));
    EXPECT_EQ(text(out), "exp");

    // The level is not part of the key: another level replaces the file and finds it.
    storeText(cache, 5, 4, kExperimentId, "level-four");
    ASSERT_TRUE(cache.retrieve(5, 1, kExperimentId, out));
    EXPECT_EQ(text(out), "level-four");
    EXPECT_EQ(cache.total(), 15u);

    // Removing needs the matching type.
    cache.remove(5, 0, kImageSeriesId);
    EXPECT_TRUE(cache.contains(5, kExperimentId));
    cache.remove(5, 0, kExperimentId);
    EXPECT_FALSE(cache.contains(5, kExperimentId));
    EXPECT_EQ(cache.total(), 5u);
    EXPECT_TRUE(cache.contains(6, kImageSeriesId));
}

TEST(MemoryGeneExpressionCache, EmptyFilesAndMissingData) {
    MemoryGeneExpressionCache cache;
    cache.store(1, 0, kGeneId, nullptr, 0);
    MemoryStream out(4);
    ASSERT_TRUE(cache.retrieve(1, 0, kGeneId, out));
    EXPECT_EQ(out.size(), 0u);

    storeText(cache, 2, 0, kGeneId, "keep");
    EXPECT_THROW(cache.store(2, 0, kGeneId, nullptr, 8), std::invalid_argument);
    ASSERT_TRUE(cache.retrieve(2, 0, kGeneId, out));
    EXPECT_EQ(text(out), "keep");
    EXPECT_EQ(cache.total(), 4u);
}

} // namespace
} // namespace volumira

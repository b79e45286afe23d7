#include "atlas/StructureSet.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace volumira;

TEST(StructureSet, BitsLiveInFourWords) {
    StructureSet s;
    EXPECT_TRUE(s.empty());
    for (int b : {0, 63, 64, 65, 200, 255})
        s.set(b);
    EXPECT_EQ(s.words()[0], (std::uint64_t{1} << 63) | 1u);
    EXPECT_EQ(s.words()[1], 3u);
    EXPECT_EQ(s.words()[3], (std::uint64_t{1} << (200 - 192)) | (std::uint64_t{1} << 63));
    EXPECT_EQ(s.words()[2], 0u);
    EXPECT_TRUE(s.contains(65));
    EXPECT_FALSE(s.contains(66));
    s.set(65, false);
    EXPECT_FALSE(s.contains(65));
    EXPECT_TRUE(s.contains(64));

    const StructureSet all = StructureSet::full();
    for (std::uint64_t word : all.words())
        EXPECT_EQ(word, ~std::uint64_t{0});
    EXPECT_THROW(s.set(256), std::invalid_argument);
    EXPECT_THROW(s.set(-1), std::invalid_argument);
    EXPECT_THROW((void)s.contains(256), std::invalid_argument);
}

TEST(StructureSet, IntersectAndUnite) {
    StructureSet a, b;
    a.set(3);
    b.set(131);
    EXPECT_FALSE(a.intersects(b));
    EXPECT_FALSE(a.intersects(StructureSet{}));
    EXPECT_TRUE(a.intersects(StructureSet::full()));
    a.unite(b);
    EXPECT_TRUE(a.intersects(b));
    EXPECT_TRUE(a.contains(3) && a.contains(131));
    EXPECT_FALSE(b.contains(3)) << "unite changes only the receiving set";
}

#include "render/IconTextures.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace volumira {
namespace {

// A 3 × 1 icon: a black opaque pixel, a grey opaque pixel and a transparent white one.
IconBitmap threePixels() {
    IconBitmap icon;
    icon.width = 3;
    icon.height = 1;
    icon.bgr = {0, 0, 0, 128, 128, 128, 255, 255, 255};
    icon.opaque = {true, true, false};
    return icon;
}

TEST(IconTexturesTest, NormalKeepsColoursAndTheMask) {
    std::vector<std::uint8_t> pixels(12);
    iconPixels(threePixels(), false, pixels.data());
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 0}));
}

TEST(IconTexturesTest, InvertedTurnsBlackGlyphsIntoOpaqueWhite) {
    std::vector<std::uint8_t> pixels(12);
    iconPixels(threePixels(), true, pixels.data());
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{255, 255, 255, 255, 127, 127, 127, 0, 0, 0, 0, 0}));
}

TEST(IconTexturesTest, BrightenLiftsVisiblePixelsOnly) {
    std::vector<std::uint8_t> pixels = {205, 10, 10, 1, 204, 100, 230, 255, 10, 10, 10, 0};
    brightenPixels(pixels.data(), 3);
    // Blue at least 205: white. Otherwise +50 per byte, wrapping like a byte. Transparent: unchanged.
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{255, 255, 255, 1, 254, 150, 24, 255, 10, 10, 10, 0}));
}

TEST(IconTexturesTest, EveryControlIconExistsAndUnknownOnesAreEmpty) {
    for (int resource : {139, 157, 158, 159, 160}) {
        const IconBitmap icon = iconBitmap(resource);
        EXPECT_EQ(icon.width, 16) << resource;
        EXPECT_EQ(icon.bgr.size(), 16u * 16u * 3u) << resource;
        int opaque = 0;
        for (bool o : icon.opaque)
            opaque += o;
        EXPECT_GT(opaque, 10) << resource;
    }
    EXPECT_EQ(iconBitmap(133).width, 0);
    EXPECT_TRUE(iconBitmap(-1).bgr.empty());
}

} // namespace
} // namespace volumira

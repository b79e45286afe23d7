#include "images/ImageProperties.h"
#include "images/TileLayout.h"
#include "images/TilePicture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace volumira {
namespace {

TEST(ZoomifyPyramidTest, LevelsAndTheShownLevel) {
    const struct {
        int width, height, tileSize;
        int levels, shown, divisor, scaledWidth, scaledHeight, across, down;
    } cases[] = {
        {16384, 12288, 256, 7, 4, 4, 4096, 3072, 16, 12},
        {1000, 300, 256, 3, 0, 4, 250, 75, 1, 1},
        {5690, 4418, 256, 6, 3, 4, 1422, 1104, 6, 5},
        {2048, 1536, 256, 4, 1, 4, 512, 384, 2, 2},
        // Fewer than three levels: level 0 at its own scale.
        {400, 300, 256, 2, 0, 2, 200, 150, 1, 1},
        {256, 100, 256, 1, 0, 1, 256, 100, 1, 1},
        {10, 10, 256, 1, 0, 1, 10, 10, 1, 1},
        {2048, 1536, 64, 6, 3, 4, 512, 384, 8, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const ZoomifyPyramid pyramid(c.width, c.height, c.tileSize);
        EXPECT_EQ(pyramid.levelCount(), c.levels);
        const TileLayout layout = layoutTiles(pyramid, 256, 256, c.width / 2, c.height / 2);
        EXPECT_EQ(layout.level, c.shown);
        EXPECT_EQ(layout.divisor, c.divisor);
        EXPECT_EQ(layout.scaledWidth, c.scaledWidth);
        EXPECT_EQ(layout.scaledHeight, c.scaledHeight);
        EXPECT_EQ(layout.tilesAcross, c.across);
        EXPECT_EQ(layout.tilesDown, c.down);
    }
    EXPECT_EQ(ZoomifyPyramid(0, 100).levelCount(), 0);
    EXPECT_TRUE(layoutTiles(ZoomifyPyramid(-5, 100), 256, 256, 0, 0).tiles.empty());
}

TEST(ZoomifyPyramidTest, OnlyTheTilesInThePanelAreAskedForAndEachLandsInItsPlace) {
    // Level 4 of 16384 x 12288 is 4096 x 3072; a 256-pixel panel centred on (8000, 6000) shows level
    // pixels 1872..2128 by 1372..1628: columns 7 and 8, rows 5 and 6.
    const TileLayout layout = layoutTiles(ZoomifyPyramid(16384, 12288), 256, 256, 8000, 6000);
    ASSERT_EQ(layout.tiles.size(), 4u);
    const VisibleTile& first = layout.tiles[0];
    EXPECT_EQ(first.column, 7);
    EXPECT_EQ(first.row, 5);
    EXPECT_EQ(first.source.x, 1872 - 7 * 256);
    EXPECT_EQ(first.source.y, 1372 - 5 * 256);
    EXPECT_EQ(first.destination.x, 0);
    EXPECT_EQ(first.destination.y, 0);
    EXPECT_EQ(first.source.width, 8 * 256 - 1872);
    const VisibleTile& last = layout.tiles[3];
    EXPECT_EQ(last.column, 8);
    EXPECT_EQ(last.row, 6);
    EXPECT_EQ(last.destination.x, 8 * 256 - 1872);
    EXPECT_EQ(last.destination.x + last.destination.width, 256);
    EXPECT_EQ(last.destination.y + last.destination.height, 256);
    int area = 0;
    for (const VisibleTile& tile : layout.tiles) area += tile.destination.width * tile.destination.height;
    EXPECT_EQ(area, 256 * 256) << "the tiles cover the panel once";

    // Near the image's corner the panel reaches past it: only the image's part is asked for.
    const TileLayout corner = layoutTiles(ZoomifyPyramid(1000, 300), 256, 256, 0, 0);
    ASSERT_EQ(corner.tiles.size(), 1u);
    EXPECT_EQ(corner.tiles[0].destination.x, 128);
    EXPECT_EQ(corner.tiles[0].destination.y, 128);
    EXPECT_EQ(corner.tiles[0].source.width, 128);
    EXPECT_EQ(corner.tiles[0].source.height, 75);
    // A point far outside the image asks for nothing.
    EXPECT_TRUE(layoutTiles(ZoomifyPyramid(1000, 300), 256, 256, 100000, 100000).tiles.empty());
}

TEST(ZoomifyPyramidTest, TileGroupsCountTilesLevelByLevelAndRowByRow) {
    const ZoomifyPyramid pyramid(16384, 12288);
    // Levels 0..3 hold 1 + 4 + 12 + 48 = 65 tiles; level 4 is 16 tiles across, so index 256 is its
    // column 15 of row 11.
    int count = 0;
    for (int level = 0; level < 4; ++level) count += pyramid.tilesAcross(level) * pyramid.tilesDown(level);
    EXPECT_EQ(count, 65);
    EXPECT_EQ(pyramid.tileGroup(0, 0, 0), 0);
    EXPECT_EQ(pyramid.tileGroup(4, 14, 11), 0);
    EXPECT_EQ(pyramid.tileGroup(4, 15, 11), 1);
    EXPECT_EQ(pyramid.tileGroup(6, 63, 47), (65 + 192 + 768 + 64 * 48 - 1) / 256);
}

ImageProperties parse(const std::string& text) {
    return parseImageProperties(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(ImagePropertiesTest, ReadsTheFourNumbersAndRefusesAnythingElse) {
    const ImageProperties p = parse(
        R"(<IMAGE_PROPERTIES WIDTH="5690" HEIGHT="4418" NUMTILES="542" NUMIMAGES="1" VERSION="1.8" TILESIZE="256" />)");
    EXPECT_EQ(p.width, 5690);
    EXPECT_EQ(p.height, 4418);
    EXPECT_EQ(p.tileCount, 542);
    EXPECT_EQ(p.tileSize, 256);
    const ImageProperties lower = parse(R"(<image_properties width="10" Height="20" tilesize="64"/>)");
    EXPECT_EQ(lower.width, 10);
    EXPECT_EQ(lower.height, 20);
    EXPECT_EQ(lower.tileSize, 64);
    EXPECT_EQ(parse(R"(<IMAGE_PROPERTIES WIDTH="10" HEIGHT="20"/>)").tileSize, 256) << "the default tile size";

    for (const char* bad : {
             R"(<html><body>Not found</body></html>)",
             R"(<IMAGE_PROPERTIES WIDTH="10" HEIGHT="20"><EXTRA/></IMAGE_PROPERTIES>)",
             R"(<IMAGE_PROPERTIES WIDTH="ten" HEIGHT="20"/>)",
             R"(<IMAGE_PROPERTIES WIDTH="10 " HEIGHT="20"/>)",
             R"(<IMAGE_PROPERTIES HEIGHT="20"/>)",
             R"(<IMAGE_PROPERTIES WIDTH="0" HEIGHT="20"/>)",
             R"(<IMAGE_PROPERTIES WIDTH="99999999999" HEIGHT="20"/>)",
             R"(<IMAGE_PROPERTIES WIDTH="10" HEIGHT="20" TILESIZE="0"/>)",
             R"(<IMAGE_PROPERTIES WIDTH="10" HEIGHT="20")",
             "",
         }) {
        SCOPED_TRACE(bad);
        try {
            parse(bad);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Unexpected data in image properties.");
        }
    }
    EXPECT_THROW(parseImageProperties(nullptr, 10), std::runtime_error);
}

TEST(TilePictureTest, CopiesAreClippedToBothPictures) {
    BgraPicture from, to;
    from.setSize(4, 3);
    to.setSize(5, 5);
    for (int i = 0; i < 4 * 3 * 4; ++i) from.pixels()[i] = static_cast<std::uint8_t>(i + 1);
    // Asked for more than the tile holds and past the panel's edge: only the overlap is copied.
    copyPixels(from, 2, 1, to, 3, 4, 10, 10);
    const std::uint8_t* copied = to.pixels() + (4 * 5 + 3) * 4;
    EXPECT_EQ(std::memcmp(copied, from.pixels() + (1 * 4 + 2) * 4, 8), 0);
    int touched = 0;
    for (int i = 0; i < 5 * 5 * 4; ++i) touched += to.pixels()[i] != 0;
    EXPECT_EQ(touched, 8);
    copyPixels(from, -3, -3, to, 0, 0, 2, 2);
    copyPixels(from, 0, 0, to, -10, 0, 3, 3);
    touched = 0;
    for (int i = 0; i < 5 * 5 * 4; ++i) touched += to.pixels()[i] != 0;
    EXPECT_EQ(touched, 8) << "copies wholly outside either picture change nothing";
}

TEST(TilePictureTest, BytesThatAreNotAColourJpegAreRefused) {
    BgraPicture picture;
    EXPECT_THROW(decodeTile({}, picture), std::runtime_error);
    EXPECT_THROW(decodeTile({0xFF, 0xD8, 0xFF, 0xE0, 0x00}, picture), std::runtime_error);
    std::vector<std::uint8_t> text(200, 'x');
    EXPECT_THROW(decodeTile(text, picture), std::runtime_error);
}

} // namespace
} // namespace volumira

// The page's arithmetic without GL: layout, the point cloud's colours and alpha, the slot's texts, the icons.

#include "atlas/Structure.h"
#include "thumbnails/ThumbnailIcons.h"
#include "thumbnails/ThumbnailLayout.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

constexpr std::array<int, 3> kGrid{133, 81, 115};

TEST(ThumbnailLayoutTest, ScaleSwitchesAt700AndSlotsRunInTwoColumnsOfFive) {
    // sqrt(133^2 + 115^2) = 175.82...; the integer parts after scaling.
    struct Case {
        int width, height, strip;
        float scale;
        int thumbWidth, thumbHeight, column, row;
    };
    const Case cases[] = {
        {700, 600, 0, 0.75f, 131, 60, 301, 85},
        {701, 600, 0, 1.0f, 175, 81, 345, 86},
        {701, 600, 22, 1.0f, 175, 81, 345, 86},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const ThumbnailLayout l = ThumbnailLayout::of(c.width, c.height, kGrid, c.strip);
        EXPECT_FLOAT_EQ(l.scale, c.scale);
        EXPECT_EQ(l.thumbnailWidth, c.thumbWidth);
        EXPECT_EQ(l.thumbnailHeight, c.thumbHeight);
        EXPECT_EQ(l.columnWidth, c.column);
        EXPECT_EQ(l.rowHeight, c.row);
        const int top = c.height - c.row - c.strip - 26;
        EXPECT_EQ(l.slotCorners[0], (std::array<int, 2>{5, top}));
        EXPECT_EQ(l.slotCorners[4], (std::array<int, 2>{5, top - 4 * c.row}));
        EXPECT_EQ(l.slotCorners[5], (std::array<int, 2>{5 + c.column, top}));
        EXPECT_EQ(l.slotCorners[9], (std::array<int, 2>{5 + c.column, top - 4 * c.row}));
        // Window points (y downwards) back to slots.
        EXPECT_EQ(l.slotAt(10, c.strip + 26 + 1, c.strip), 0);
        EXPECT_EQ(l.slotAt(c.column + 1, c.strip + 26 + 2 * c.row + 1, c.strip), 7);
        EXPECT_EQ(l.slotAt(10, c.strip + 10, c.strip), -1);
        EXPECT_EQ(l.slotAt(2 * c.column + 1, c.strip + 30, c.strip), -1);
        EXPECT_EQ(l.slotAt(10, c.strip + 26 + 5 * c.row, c.strip), -1);
    }
}

TEST(ThumbnailCloudTest, ColoursAlphaAndTheFourExpressorRule) {
    Structure named, unnamed;
    named.index = 7;
    named.order = 3;
    named.red = 200;
    named.green = 100;
    named.blue = 50;
    unnamed.index = 0; // "No Annotation": never drawn
    const std::uint16_t counts[] = {0, 3, 4, 5, 6, 7, 15, 25, 26, 200};
    std::vector<ExpressionCell> cells(std::size(counts));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i].expressors = counts[i];
        cells[i].x = static_cast<float>(i);
        cells[i].y = 2.0f;
        cells[i].z = 3.0f;
    }
    std::vector<GeneExpression::StructureCells> groups(2);
    groups[0].structure = &unnamed;
    groups[1].structure = &named;
    for (const ExpressionCell& cell : cells) {
        groups[0].cells.push_back(&cell);
        groups[1].cells.push_back(&cell);
    }
    const std::vector<ThumbnailGroup> cloud = thumbnailGroups(groups);
    ASSERT_EQ(cloud.size(), 1u);
    EXPECT_EQ(cloud[0].structure, &named);
    struct Expected {
        float x, alpha;
    };
    // count 5 -> a = 0; 6 -> 8.5 / 25; 7 -> 17 / 25; 15 and more reach 1.
    const Expected expected[] = {{3, 0.0f}, {4, 0.34f}, {5, 0.68f}, {6, 1.0f}, {7, 1.0f}, {8, 1.0f}, {9, 1.0f}};
    ASSERT_EQ(cloud[0].points.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ThumbnailPoint& p = cloud[0].points[i];
        EXPECT_FLOAT_EQ(p.x, expected[i].x);
        EXPECT_NEAR(p.alpha, expected[i].alpha, 1e-5f) << i;
        EXPECT_NEAR(p.red, 200 / 255.0f * 0.8f, 1e-5f);
        EXPECT_NEAR(p.green, 100 / 255.0f * 0.8f, 1e-5f);
        EXPECT_NEAR(p.blue, 50 / 255.0f * 0.8f, 1e-5f);
    }
}

TEST(ThumbnailTextTest, DescriptionAndSize) {
    ThumbnailEntry e;
    e.symbol = "Gad1";
    e.name = "glutamate decarboxylase 1";
    struct Case {
        int plane, strand;
        float score;
        std::string third;
    };
    // Each part of the third line, the first too, is led by " - ".
    const Case cases[] = {{0, 1, 0.5f, " - coronal - 0.500 - antisense"},
                          {1, 0, -1.0f, " - sagittal - sense"},
                          {-1, -1, 0.12345f, " - 0.123"},
                          {-1, 0, -1.0f, " - sense"},
                          {-1, -1, -1.0f, ""}};
    for (const Case& c : cases) {
        e.plane = c.plane;
        e.probeOrientation = c.strand;
        e.score = c.score;
        EXPECT_EQ(thumbnailDescription(e), "Gad1\nglutamate decarboxylase 1\n" + c.third);
    }
    EXPECT_EQ(thumbnailSizeText(0), "");
    EXPECT_EQ(thumbnailSizeText(1535), "1 KB");
    EXPECT_EQ(thumbnailSizeText(1536), "2 KB");
    EXPECT_EQ(thumbnailSizeText(204800), "200 KB");
    e.fileUrl = "grids/1/Gad1.xpr";
    EXPECT_EQ(e.gridPath(), "grids/1/Gad1.xpr");
    e.fileUrl = "http://host/GridFile?imageseriesid=1&level=2";
    EXPECT_EQ(e.gridPath(), "");
}

TEST(ThumbnailIconTest, EveryIconHasAPictureAndTheyDiffer) {
    const ThumbnailIcon icons[] = {ThumbnailIcon::kFirstPage,  ThumbnailIcon::kPreviousPage,
                                   ThumbnailIcon::kNextPage,   ThumbnailIcon::kLastPage,
                                   ThumbnailIcon::kAnimation,  ThumbnailIcon::kAllExperiments,
                                   ThumbnailIcon::kSimilarGenes};
    std::vector<std::vector<std::uint8_t>> seen;
    for (ThumbnailIcon icon : icons) {
        const std::vector<std::uint8_t> pixels = thumbnailIconPixels(icon);
        ASSERT_EQ(pixels.size(), 16u * 16u * 4u);
        int opaque = 0;
        for (std::size_t i = 3; i < pixels.size(); i += 4)
            opaque += pixels[i] == 255;
        EXPECT_GT(opaque, 20);
        EXPECT_LT(opaque, 256);
        for (const auto& other : seen)
            EXPECT_NE(pixels, other);
        seen.push_back(pixels);
    }
}

} // namespace
} // namespace volumira

#include "render/ExpressionFixture.h"
#include "render/ThresholdPlot.h"
#include "render/ThresholdWindow.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace volumira {
namespace {

using Bgra = std::array<int, 4>;

Bgra pixelAt(const std::vector<std::uint8_t>& pixels, int column, int row) {
    const std::uint8_t* p = &pixels[(static_cast<std::size_t>(row) * 150 + column) * 4];
    return {p[0], p[1], p[2], p[3]};
}

struct Plot {
    test::ExpressionFixture fixture;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(150 * 150 * 4, 0xAB);
    int baseLevel = thresholdBaseLevel(fixture.levels());

    void draw(const GeneExpression& gene) {
        std::minstd_rand random(7);
        rasterThresholdPlot(gene, fixture.levels(), baseLevel, pixels.data(), random);
    }
};

TEST(ThresholdPlotTest, CellsLandByCountAndLevelInTheirStructureColour) {
    Plot plot;
    ASSERT_EQ(plot.baseLevel, 30); // the level table is black up to 29
    auto gene = plot.fixture.gene({
        {10, 20, 30, 100.0f, 10, test::kCortex, 0.8f},   // x 10.9 -> column 45, row 103
        {11, 20, 30, 100.0f, 4, test::kThalamus, 0.25f}, // x 4.5 -> column 19
        {12, 20, 30, 10.0f, 60, 9},                      // unnamed structure, below the base level
    });
    plot.draw(*gene);
    EXPECT_EQ(pixelAt(plot.pixels, 45 + 5, 103), (Bgra{60, 60, 200, 255}));
    EXPECT_EQ(pixelAt(plot.pixels, 19 + 5, 103), (Bgra{60, 200, 60, 255}));
    // Counts beyond the axis stay in the last column, levels below the base in the bottom row; grey for a
    // structure the ontology does not name.
    EXPECT_EQ(pixelAt(plot.pixels, 144 + 5, 149), (Bgra{160, 160, 160, 255}));
    // Everything else of the plot area is cleared.
    int lit = 0;
    for (int row = 0; row < 150; ++row)
        for (int column = 4; column < 150; ++column)
            lit += pixelAt(plot.pixels, column, row)[3] != 0;
    EXPECT_EQ(lit, 3);
}

TEST(ThresholdPlotTest, ColourScaleFillsTheFirstFourColumns) {
    Plot plot;
    auto gene = plot.fixture.gene({});
    plot.draw(*gene);
    // Row 0 reads level 258, held at 255: (255, 0, 100); row 149 reads the base level 30: (30, 225, 100).
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(pixelAt(plot.pixels, column, 0), (Bgra{100, 0, 255, 255}));
        EXPECT_EQ(pixelAt(plot.pixels, column, 149), (Bgra{100, 225, 30, 255}));
    }
    // Row 75: level 30 + 74 * 230 / 150 = 143.
    EXPECT_EQ(pixelAt(plot.pixels, 2, 75), (Bgra{100, 255 - 143, 143, 255}));
    EXPECT_EQ(pixelAt(plot.pixels, 4, 75)[3], 0);
}

TEST(ThresholdPlotTest, OverlappingPointsOfDifferentStructuresMix) {
    Plot plot;
    // Many cortex and thalamus cells on the same point: the pixel ends in one of the two colours.
    std::vector<test::CellSpec> cells;
    for (int i = 0; i < 20; ++i)
        cells.push_back({i, 10, 10, 100.0f, 10, i % 2 ? test::kCortex : test::kThalamus});
    auto gene = plot.fixture.gene(cells);
    plot.draw(*gene);
    const Bgra q = pixelAt(plot.pixels, 45 + 5, 103);
    EXPECT_TRUE(q == (Bgra{60, 60, 200, 255}) || q == (Bgra{60, 200, 60, 255}));
}

} // namespace
} // namespace volumira

#include "atlas/ColourMap.h"
#include "render/ThresholdWindow.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace volumira {
namespace {

using G = ThresholdGeometry;

// Display 800 wide, "#Expressors" title 13 high, base level 0: plot x 650..795, y 21..171.
G geometry() {
    return G(800, 13, 0);
}

TEST(ThresholdGeometryTest, PlotAreaFollowsDisplayWidthAndTitleHeight) {
    const G g = geometry();
    EXPECT_EQ(g.plotLeft(), 650);
    EXPECT_EQ(g.plotRight(), 795);
    EXPECT_EQ(g.plotBottom(), 21);
    EXPECT_EQ(g.plotTop(), 171);
    EXPECT_TRUE(g.inPlot(650, 21));
    EXPECT_TRUE(g.inPlot(795, 171));
    EXPECT_FALSE(g.inPlot(649, 100));
    EXPECT_FALSE(g.inPlot(700, 172));
}

TEST(ThresholdGeometryTest, WindowReadsUnboundedAndNonPositiveEnds) {
    const G g(800, 13, 40);
    // minLevel 0 reads as the base level, -1 maxima as the axis ends.
    EXPECT_EQ(g.windowOf({0.0f, -1.0f, 0.0f, -1.0f}), (ThresholdWindow{650, 795, 21, 171}));
    // Level 150 of 40..260 is half way: 150 * 0.5 = 75 pixels up; 7 of 35 expressors is 29 pixels across.
    const ThresholdWindow w = g.windowOf({150.0f, 260.0f, 7.0f, 17.5f});
    EXPECT_EQ(w.bottom, 21 + 75);
    EXPECT_EQ(w.top, 171);
    EXPECT_EQ(w.left, 650 + 29);
    EXPECT_EQ(w.right, 650 + 73); // 72.5 rounds up
    // Values off the axes are held at the plot's edges.
    EXPECT_EQ(g.windowOf({10.0f, 1000.0f, 0.0f, 500.0f}), (ThresholdWindow{650, 795, 21, 171}));
}

TEST(ThresholdGeometryTest, HitZonesInTheirOrder) {
    const G g = geometry();
    const ThresholdWindow w{680, 760, 60, 140};
    struct Case {
        int x, y, zone;
    };
    const Case cases[] = {
        {680, 140, G::kTopLeft},    {675, 145, G::kTopLeft},   {685, 135, G::kTopLeft},
        {760, 140, G::kTopRight},   {765, 135, G::kTopRight},  {760, 60, G::kBottomRight},
        {755, 55, G::kBottomRight}, {680, 60, G::kBottomLeft}, {685, 65, G::kBottomLeft},
        {720, 145, G::kTopEdge},    {686, 135, G::kTopEdge},   {765, 100, G::kRightEdge},
        {720, 55, G::kBottomEdge},  {675, 100, G::kLeftEdge},  {720, 100, G::kInside},
        {686, 66, G::kInside},      {754, 134, G::kInside},    {674, 100, G::kNone},
        {720, 146, G::kNone},       {766, 100, G::kNone},      {720, 54, G::kNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(g.hitZone(w, c.x, c.y), c.zone) << c.x << "," << c.y;
}

TEST(ThresholdGeometryTest, CursorShapePerZone) {
    const int expected[] = {0, 5, 4, 4, 5, 2, 3, 3, 2, 6};
    for (int zone = 0; zone <= 9; ++zone)
        EXPECT_EQ(cursorShapeOfZone(zone), expected[zone]) << zone;
}

TEST(ThresholdGeometryTest, CornerAndEdgeDragsMoveOnlyTheirSides) {
    const G g = geometry();
    const ThresholdWindow w{680, 760, 60, 140};
    struct Case {
        G::Zone zone;
        int x, y;
        ThresholdWindow expected;
    };
    const Case cases[] = {
        {G::kBottomRight, 770, 50, {680, 770, 50, 140}},
        {G::kBottomLeft, 670, 50, {670, 760, 50, 140}},
        {G::kTopRight, 770, 150, {680, 770, 60, 150}},
        {G::kTopLeft, 670, 150, {670, 760, 60, 150}},
        {G::kBottomEdge, 999, 70, {680, 760, 70, 140}},
        {G::kRightEdge, 700, 999, {680, 700, 60, 140}},
        {G::kLeftEdge, 690, -5, {690, 760, 60, 140}},
        {G::kTopEdge, 0, 120, {680, 760, 60, 120}},
        {G::kNone, 700, 100, w},
    };
    for (const Case& c : cases)
        EXPECT_EQ(g.drag(w, c.zone, c.x, c.y, 0, 0), c.expected) << c.zone;
}

TEST(ThresholdGeometryTest, DraggedSidesNeverCrossTheOppositeSide) {
    const G g = geometry();
    const ThresholdWindow w{680, 760, 60, 140};
    // The bottom-right corner dragged above the top and left of the left side.
    EXPECT_EQ(g.drag(w, G::kBottomRight, 660, 160, 0, 0), (ThresholdWindow{680, 681, 139, 140}));
    EXPECT_EQ(g.drag(w, G::kTopLeft, 790, 30, 0, 0), (ThresholdWindow{759, 760, 60, 61}));
}

TEST(ThresholdGeometryTest, PointerIsClampedToThePlotFirst) {
    const G g = geometry();
    const ThresholdWindow w{680, 760, 60, 140};
    EXPECT_EQ(g.drag(w, G::kTopRight, 2000, 2000, 0, 0), (ThresholdWindow{680, 795, 60, 171}));
    EXPECT_EQ(g.drag(w, G::kBottomLeft, -50, -50, 0, 0), (ThresholdWindow{650, 760, 21, 140}));
}

TEST(ThresholdGeometryTest, MovingTheWindowKeepsItsSizeAndStopsAtTheEdges) {
    const G g = geometry();
    const ThresholdWindow w{680, 760, 60, 140};
    // Grabbed 20, 30 from the lower-left corner.
    EXPECT_EQ(g.drag(w, G::kInside, 710, 100, 20, 30), (ThresholdWindow{690, 770, 70, 150}));
    EXPECT_EQ(g.drag(w, G::kInside, 790, 170, 20, 30), (ThresholdWindow{715, 795, 91, 171}));
    EXPECT_EQ(g.drag(w, G::kInside, 650, 21, 20, 30), (ThresholdWindow{650, 730, 21, 101}));
}

TEST(ThresholdGeometryTest, WindowGivesThresholds) {
    const G g(800, 13, 40);
    // The full plot is unbounded above and zero below.
    ThresholdRanges r = g.rangesOf({650, 795, 21, 171});
    EXPECT_EQ(r.minLevel, 0.0f);
    EXPECT_EQ(r.maxLevel, -1.0f);
    EXPECT_EQ(r.minCount, 0.0f);
    EXPECT_EQ(r.maxCount, -1.0f);
    r = g.rangesOf({679, 723, 96, 131});
    EXPECT_NEAR(r.minLevel, 40 + 75.0f / 150 * 220, 1e-3);
    EXPECT_NEAR(r.maxLevel, 40 + 110.0f / 150 * 220, 1e-3);
    EXPECT_NEAR(r.minCount, 29.0f / 145 * 35, 1e-4);
    EXPECT_NEAR(r.maxCount, 73.0f / 145 * 35, 1e-4);
    // And back to the same window.
    EXPECT_EQ(g.windowOf(r), (ThresholdWindow{679, 723, 96, 131}));
}

TEST(ThresholdGeometryTest, TopEdgeDraggedToThePlotTopIsUnbounded) {
    const G g = geometry();
    const ThresholdWindow w = g.drag({680, 760, 60, 140}, G::kTopEdge, 720, 400, 0, 0);
    const ThresholdRanges r = g.rangesOf(w);
    EXPECT_EQ(r.maxLevel, -1.0f);
    EXPECT_EQ(maximumLevelLabel(r.maxLevel), ">260");
}

TEST(ThresholdGeometryTest, LabelTexts) {
    EXPECT_EQ(minimumLevelLabel(0.0f), "0");
    EXPECT_EQ(minimumLevelLabel(-3.0f), "0");
    EXPECT_EQ(minimumLevelLabel(57.9f), "57");
    EXPECT_EQ(maximumLevelLabel(-1.0f), ">260");
    EXPECT_EQ(maximumLevelLabel(0.0f), "0");
    EXPECT_EQ(maximumLevelLabel(259.9f), "259");
    EXPECT_EQ(maximumLevelLabel(260.0f), ">260");
    EXPECT_EQ(minimumCountLabel(5.0f), "5");
    EXPECT_EQ(minimumCountLabel(0.0f), "0");
    EXPECT_EQ(maximumCountLabel(34.9f), "34");
    EXPECT_EQ(maximumCountLabel(35.0f), ">35");
    EXPECT_EQ(maximumCountLabel(-1.0f), ">35");
    // Any magnitude the model may hold gives a number, not a wrapped integer.
    EXPECT_EQ(minimumLevelLabel(1e20f), "100000002004087734272");
}

TEST(ThresholdGeometryTest, BaseLevelIsTheFirstColourInStepsOfFive) {
    test::TempDir dir;
    const std::string path = dir.file("levels.map");
    {
        std::ofstream out(path);
        for (int i = 0; i < 256; ++i)
            out << (i >= 23 ? "10 20 30\n" : "0 0 0\n");
    }
    ColourMap map;
    map.load(path);
    EXPECT_EQ(thresholdBaseLevel(map), 20);
    EXPECT_EQ(thresholdBaseLevel(ColourMap{}), 0);
}

} // namespace
} // namespace volumira

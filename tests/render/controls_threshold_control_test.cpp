#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "render/ExpressionFixture.h"
#include "render/ExpressionThresholdControl.h"
#include "render/FakeDisplay.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

// Display 800 × 600 with 13-pixel titles: plot x 650..795, overlay y 21..171; the level table's base
// level is 30. Window y of an overlay y: 600 - y - 1.
constexpr int windowY(int overlayY) {
    return 600 - overlayY - 1;
}

struct Control {
    test::ExpressionFixture fixture;
    std::unique_ptr<GeneExpression> gene = fixture.gene({{10, 20, 30, 100.0f, 10, test::kCortex}});
    test::TestModel model;
    test::FakeDisplay display{800, 600};
    ExpressionThresholdControl control{display, model, *gene, fixture.tables()};

    ThresholdRanges ranges() const {
        ThresholdRanges r;
        model.levelThreshold(r.minLevel, r.maxLevel);
        model.expressorThreshold(r.minCount, r.maxCount);
        return r;
    }
};

TEST(ThresholdControlTest, WindowFollowsTheModel) {
    Control c;
    ASSERT_EQ(c.model.geneColourMode(), 0);
    // Defaults: level 0.. (read as the base level), 5.. expressors.
    EXPECT_EQ(c.control.currentWindow(), (ThresholdWindow{650 + 21, 795, 21, 171}));
    EXPECT_EQ(c.control.totalWidth(), 13 + 150);
    EXPECT_EQ(c.control.totalHeight(), 13 + 150);
}

TEST(ThresholdControlTest, BottomRightCornerDraggedAboveTheTopStopsOnePixelBelowIt) {
    Control c;
    EXPECT_TRUE(c.control.mouseDown(0, 795, windowY(21), 0, 0));
    EXPECT_TRUE(c.control.isDragging());
    EXPECT_TRUE(c.model.auxiliaryFlag());
    EXPECT_TRUE(c.control.mouseMove(700, windowY(400), 0, 0));
    EXPECT_EQ(c.control.currentWindow(), (ThresholdWindow{671, 700, 170, 171}));
    EXPECT_TRUE(c.control.mouseUp(0, 700, windowY(400), 0, 0));
    EXPECT_FALSE(c.control.isDragging());
    EXPECT_FALSE(c.model.auxiliaryFlag());
    const ThresholdRanges r = c.ranges();
    EXPECT_NEAR(r.minLevel, 30 + 149.0f / 150 * 230, 1e-3);
    EXPECT_EQ(r.maxLevel, -1.0f);
    EXPECT_NEAR(r.maxCount, 50.0f / 145 * 35, 1e-4);
    // The stored thresholds give the same window back.
    EXPECT_EQ(c.control.currentWindow(), (ThresholdWindow{671, 700, 170, 171}));
}

TEST(ThresholdControlTest, MovingTheWholeWindowKeepsItsSize) {
    Control c;
    c.model.setLevelThreshold(99.0f, 168.0f, false);
    c.model.setExpressorThreshold(7.0f, 21.0f, false);
    const ThresholdWindow before = c.control.currentWindow();
    ASSERT_EQ(before, (ThresholdWindow{679, 737, 66, 111}));
    EXPECT_TRUE(c.control.mouseDown(0, 700, windowY(90), 0, 0));
    c.control.mouseMove(710, windowY(80), 0, 0);
    c.control.mouseUp(0, 710, windowY(80), 0, 0);
    EXPECT_EQ(c.control.currentWindow(), (ThresholdWindow{689, 747, 56, 101}));
    const ThresholdRanges r = c.ranges();
    EXPECT_NEAR(r.minLevel, 30 + 35.0f / 150 * 230, 1e-3);
    EXPECT_NEAR(r.maxCount, 97.0f / 145 * 35, 1e-4);
}

// Each step of a drag that moves the whole window changes both ranges and is announced once, so the
// expression is rebuilt once per step; a release where the last step left the window changes nothing.
TEST(ThresholdControlTest, AStepThatMovesBothRangesIsOneChange) {
    Control c;
    c.model.setLevelThreshold(99.0f, 168.0f, false);
    c.model.setExpressorThreshold(7.0f, 21.0f, false);
    test::ModelRecorder recorder;
    c.model.addListener(&recorder);
    const auto threshold = test::ModelRecorder::of(ModelEvent::ThresholdChanged);
    ASSERT_TRUE(c.control.mouseDown(0, 700, windowY(90), 0, 0));
    const ThresholdRanges before = c.ranges();
    c.control.mouseMove(710, windowY(80), 0, 0);
    const ThresholdRanges after = c.ranges();
    EXPECT_NE(after.minLevel, before.minLevel);
    EXPECT_NE(after.minCount, before.minCount);
    EXPECT_EQ(recorder.events, std::vector<test::ModelRecorder::Event>{threshold});
    c.control.mouseMove(720, windowY(70), 0, 0);
    c.control.mouseUp(0, 720, windowY(70), 0, 0);
    EXPECT_EQ(recorder.events, (std::vector<test::ModelRecorder::Event>{threshold, threshold}));
    c.model.removeListener(&recorder);
}

TEST(ThresholdControlTest, PressesOutsideThePlotAreNotTaken) {
    Control c;
    EXPECT_FALSE(c.control.mouseDown(0, 640, windowY(100), 0, 0));
    EXPECT_FALSE(c.control.mouseDown(0, 700, windowY(172), 0, 0));
    EXPECT_FALSE(c.control.isDragging());
    EXPECT_FALSE(c.model.auxiliaryFlag());
    // Hovering is always handled and changes nothing.
    EXPECT_TRUE(c.control.mouseMove(700, windowY(100), 0, 0));
    EXPECT_EQ(c.ranges().minCount, 5.0f);
}

// The pointer crossing the plot asks for a redraw only where the zone under it changes: moves
// within one zone (or outside the plot) cost nothing.
TEST(ThresholdControlTest, HoveringRedrawsOnlyWhenTheZoneChanges) {
    Control c;
    struct Move {
        int x, overlayY;
        int redraws; // requests counted after this move
    };
    // The default window spans x 671..795, overlay y 21..171.
    const Move moves[] = {
        {100, 300, 1},  // outside the plot: the first move sets the arrow
        {120, 310, 1},  // still outside
        {700, 100, 2},  // inside the window
        {720, 110, 2},  // still inside
        {740, 90, 2},   // still inside
        {795, 100, 3},  // on the right edge
        {795, 101, 3},  // still on it
        {700, 100, 4},  // inside again
        {500, 100, 5},  // left the plot
        {400, 100, 5},
    };
    for (const Move& m : moves) {
        EXPECT_TRUE(c.control.mouseMove(m.x, windowY(m.overlayY), 0, 0));
        EXPECT_EQ(c.display.redrawRequests, m.redraws) << m.x << "," << m.overlayY;
    }
    EXPECT_EQ(c.display.redrawsNow, 0);
}

// A drag cut short by the loss of the mouse keeps the thresholds of its last step and ends: the model
// leaves its interactive mode and the next press starts a new drag.
TEST(ThresholdControlTest, LosingTheMouseEndsTheDrag) {
    Control c;
    ASSERT_TRUE(c.control.mouseDown(0, 795, windowY(21), 0, 0));
    c.control.mouseMove(760, windowY(60), 0, 0);
    const ThresholdRanges dragged = c.ranges();
    c.control.mouseCaptureLost();
    EXPECT_FALSE(c.control.isDragging());
    EXPECT_FALSE(c.model.auxiliaryFlag());
    EXPECT_EQ(c.ranges().maxCount, dragged.maxCount);
    EXPECT_EQ(c.ranges().minLevel, dragged.minLevel);
    c.control.mouseMove(700, windowY(300), 0, 0);
    EXPECT_EQ(c.ranges().maxCount, dragged.maxCount); // hovering, not dragging
}

} // namespace
} // namespace volumira

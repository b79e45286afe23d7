#include "bookmarks/BookmarkInterpolator.h"
#include "bookmarks/BookmarkNavigator.h"
#include "expression/BrainExpressionModelListener.h"
#include "../expression/TestModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace volumira {
namespace {

using test::TestModel;

float dot(const std::array<float, 4>& a, const std::array<float, 4>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}

// A clock the test moves by hand.
struct ManualClock {
    double now = 100.0;
    BookmarkInterpolator::Clock clock() {
        return [this] { return now; };
    }
};

TEST(CubicHermite, EasesFromZeroToOneWithFlatEnds) {
    const CubicHermite easing(0.0, 1.0, 0.0, 1.0, 0.0, 0.0);
    for (double u : {0.0, 0.1, 0.25, 0.5, 0.9, 1.0})
        EXPECT_NEAR(easing(u), 3 * u * u - 2 * u * u * u, 1e-12) << u;
    const CubicHermite line(2.0, 4.0, 10.0, 20.0, 5.0, 5.0);
    EXPECT_NEAR(line(3.0), 15.0, 1e-12);
}

TEST(BookmarkInterpolator, SlerpTakesTheShortWayAndStaysUnit) {
    TestModel model;
    const BookmarkInterpolator animation(Bookmark(), Bookmark(), model, 1.0);
    const std::array<float, 4> identity{0, 0, 0, 1};
    // A quarter turn about y, written with a negative w: the same rotation as its negation.
    const std::array<float, 4> quarter{0, -0.70710677f, 0, -0.70710677f};
    std::array<float, 4> half{};
    ASSERT_TRUE(animation.slerp(identity, quarter, half, 0.5f));
    EXPECT_NEAR(std::sqrt(dot(half, half)), 1.0f, 1e-6f);
    // Halfway through a 90° turn is 45° from the start: |cos(22.5°)| between the quaternions.
    EXPECT_NEAR(std::fabs(dot(half, identity)), std::cos(M_PI / 8), 1e-5);
    std::array<float, 4> end{};
    animation.slerp(identity, quarter, end, 1.0f);
    EXPECT_NEAR(std::fabs(dot(end, quarter)), 1.0f, 1e-5f);

    std::array<float, 4> same{};
    EXPECT_FALSE(animation.slerp(quarter, quarter, same, 0.3f));
    EXPECT_EQ(same, quarter);
}

TEST(BookmarkInterpolator, LandsExactlyOnTheTargetAtTheEnd) {
    TestModel model;
    const Bookmark from("Temp", Bookmark::AllSettings, model);
    Bookmark to("Target", Bookmark::ViewAngle | Bookmark::ViewZoom | Bookmark::ClippingPlanes |
                              Bookmark::ExpressionThresholds);
    to.rotation = {0.0f, 0.70710677f, 0.0f, 0.70710677f};
    to.origin = {4.0f, 5.0f, 6.0f};
    to.zoom = 100.0f;
    to.clipping = {10, 120, 5, 70, 20, 90};
    to.scoreLower = 30.0f;
    to.countLower = 8.0f;
    to.countUpper = 20.0f;
    ManualClock time;
    BookmarkInterpolator animation(from, to, model, 2.0, time.clock());
    EXPECT_TRUE(model.auxiliaryFlag());

    time.now += 1.0;
    ASSERT_TRUE(animation.tick());
    // Halfway in time is halfway along the eased curve.
    EXPECT_FLOAT_EQ(model.zoom(), 70.0f);
    EXPECT_FLOAT_EQ(model.translation()[0], 2.0f);
    EXPECT_FLOAT_EQ(model.clippingPlane(0, true), 5.0f);
    float lower, upper;
    model.levelThreshold(lower, upper);
    EXPECT_FLOAT_EQ(lower, 15.0f);
    EXPECT_FLOAT_EQ(upper, 260.0f);

    // A slow frame skips past the end; the target then arrives exactly.
    time.now += 5.0;
    EXPECT_FALSE(animation.tick());
    EXPECT_FALSE(model.auxiliaryFlag());
    EXPECT_EQ(model.rotation(), to.rotation);
    EXPECT_EQ(model.translation(), to.origin);
    EXPECT_EQ(model.zoom(), 100.0f);
    EXPECT_EQ(model.clippingPlane(2, false), 90.0f);
    model.levelThreshold(lower, upper);
    EXPECT_EQ(lower, 30.0f);
    // An unbounded upper threshold animates towards the control's maximum and stays there.
    EXPECT_EQ(upper, 260.0f);
    model.expressorThreshold(lower, upper);
    EXPECT_EQ(lower, 8.0f);
    EXPECT_EQ(upper, 20.0f);
}

// Counts the section moves the model announces.
struct SectionMoves : BrainExpressionModelListener {
    int count = 0;
    void modelChanged(ModelEvent event, BrainExpressionModel&, std::int32_t) override {
        if (event == ModelEvent::SectionMoved) ++count;
    }
};

TEST(BookmarkInterpolator, AHiddenSectionKeepsItsPlaceUntilTheEnd) {
    TestModel model;
    model.setSectionPosition(1, 10.0f, false);
    model.setSectionPosition(2, 40.0f, false);
    model.setDisplayFlag(2, true, false);
    const Bookmark from("Temp", Bookmark::AtlasSections, model);
    ASSERT_EQ(from.sliceVisible[1], 0);
    Bookmark to("Target", Bookmark::AtlasSections);
    to.sliceVisible = {0, 1, 1};
    to.sliceLocation = {-1.0f, 30.0f, 60.0f};
    SectionMoves moves;
    model.addListener(&moves);
    BookmarkInterpolator animation(from, to, model, 1.0);
    ASSERT_TRUE(animation.step(0.25));
    ASSERT_TRUE(animation.step(0.5));
    // The hidden horizontal section stays put and raises nothing; the shown sagittal one moves.
    EXPECT_EQ(model.sectionPosition(1), 10.0f);
    EXPECT_FALSE(model.displayFlag(1));
    EXPECT_FLOAT_EQ(model.sectionPosition(2), 50.0f);
    EXPECT_EQ(moves.count, 2);
    EXPECT_FALSE(animation.step(1.0));
    EXPECT_EQ(model.sectionPosition(1), 30.0f);
    EXPECT_TRUE(model.displayFlag(1));
    EXPECT_EQ(model.sectionPosition(2), 60.0f);
    model.removeListener(&moves);
}

TEST(BookmarkInterpolator, NothingToMoveEndsAtTheFirstStep) {
    TestModel model;
    model.setZoom(55.0f, false);
    const Bookmark from("Temp", Bookmark::ViewZoom, model);
    Bookmark to("Zoom", Bookmark::ViewZoom);
    to.zoom = 55.0f;
    BookmarkInterpolator animation(from, to, model, 2.0);
    EXPECT_FALSE(animation.step(0.01));
    EXPECT_EQ(model.zoom(), 55.0f);
}

TEST(BookmarkNavigator, AppliesAtOnceWhenThereIsNothingToAnimate) {
    Bookmark structures("Structures", Bookmark::AtlasStructures);
    structures.atlasStructures.set(3);
    Bookmark scores("Scores", Bookmark::ExpressionThresholds);
    scores.scoreLower = 40.0f;
    struct Case {
        const char* what;
        const Bookmark* target;
        bool immediate;
        double seconds;
    };
    const Case cases[] = {
        {"instant preference", &scores, false, 0.0},
        {"duration at the limit", &scores, false, 0.04},
        {"ctrl held", &scores, true, 2.0},
        {"structures only", &structures, false, 10.0},
    };
    for (const Case& c : cases) {
        TestModel model;
        BookmarkNavigator navigator(model);
        EXPECT_FALSE(navigator.goTo(*c.target, c.immediate, c.seconds)) << c.what;
        EXPECT_FALSE(navigator.running()) << c.what;
        const Bookmark now("Now", c.target->settings, model);
        EXPECT_EQ(now.atlasStructures, c.target->atlasStructures) << c.what;
        EXPECT_EQ(now.scoreLower, c.target->scoreLower) << c.what;
        // Applied at once, the unbounded upper threshold stays unbounded.
        float lower, upper;
        model.levelThreshold(lower, upper);
        EXPECT_EQ(upper, -1.0f) << c.what;
    }
}

TEST(BookmarkNavigator, AnimatesAndCentresByTheClock) {
    TestModel model;
    ManualClock time;
    BookmarkNavigator navigator(model, time.clock());
    Bookmark far("Far", Bookmark::ViewZoom);
    far.zoom = 200.0f;
    ASSERT_TRUE(navigator.goTo(far, false, 2.0));
    time.now += 0.5;
    EXPECT_TRUE(navigator.tick());
    EXPECT_GT(model.zoom(), 40.0f);
    EXPECT_LT(model.zoom(), 200.0f);
    // A new jump replaces the running one.
    ASSERT_TRUE(navigator.centreOn({1.0f, 2.0f, 3.0f}, 2.0));
    time.now += 0.25;
    EXPECT_TRUE(navigator.tick());
    time.now += 0.25;
    EXPECT_FALSE(navigator.tick());
    EXPECT_FALSE(navigator.running());
    EXPECT_EQ(model.translation(), (std::array<float, 3>{1, 2, 3}));

    EXPECT_FALSE(navigator.centreOn({0.0f, 0.0f, 9.0f}, 0.0));
    EXPECT_EQ(model.translation(), (std::array<float, 3>{0, 0, 9}));
}

} // namespace
} // namespace volumira

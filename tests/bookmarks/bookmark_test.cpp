#include "bookmarks/Bookmark.h"
#include "../expression/ModelRecorder.h"
#include "../expression/TestModel.h"
#include "BookmarkTestData.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::ModelRecorder;
using test::TestModel;

// Puts every part a bookmark can hold into a state unlike the defaults.
void dressModel(BrainExpressionModel& model, const test::BookmarkOntology& o) {
    StructureSet filter, shown;
    filter.unite(o.byAcronym("TH").selfSet);
    shown.unite(o.byAcronym("OLF").selfSet);
    model.setExpressionStructures(filter, false);
    model.setShownStructures(shown, false);
    model.setRotation({0.5f, 0.5f, 0.5f, 0.5f}, false);
    model.setTranslation({1.0f, 2.0f, 3.0f}, false);
    model.setZoom(80.0f, false);
    model.setDisplayFlag(0, true, false);
    model.setSectionPosition(0, 30.0f, false);
    model.setSectionPosition(1, 20.0f, false);
    model.setClippingPlane(2, 10.0f, true, false);
    model.setClippingPlane(2, 100.0f, false, false);
    model.setLevelThreshold(12.0f, 90.0f, false);
    model.setExpressorThreshold(7.0f, -1.0f, false);
}

TEST(Bookmark, DefaultsAndReset) {
    Bookmark b("View", Bookmark::ViewZoom);
    EXPECT_EQ(b.name(), "View");
    EXPECT_EQ(b.settings, Bookmark::ViewZoom);
    EXPECT_EQ(b.sliceLocation, (std::array<float, 3>{-1, -1, -1}));
    EXPECT_EQ(b.clipping, (std::array<float, 6>{0, 132, 0, 80, 0, 114}));
    EXPECT_EQ(b.rotation, (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_EQ(b.scoreUpper, -1.0f);
    EXPECT_EQ(b.countUpper, -1.0f);
    EXPECT_EQ(b.zoom, 40.0f);

    b.zoom = 99.0f;
    b.clipping[3] = 5.0f;
    b.reset(false);
    EXPECT_EQ(b.name(), "View");
    EXPECT_EQ(b.settings, Bookmark::ViewZoom);
    EXPECT_EQ(b.zoom, 40.0f);
    EXPECT_EQ(b.clipUpper(1), 80.0f);
    b.reset(true);
    EXPECT_EQ(b.name(), "");
    EXPECT_EQ(b.settings, 0);
}

TEST(Bookmark, CapturesOnlyTheNamedPartsAndAppliesThemBack) {
    test::BookmarkOntology o;
    TestModel source;
    dressModel(source, o);

    const Bookmark all("All", Bookmark::AllSettings, source);
    EXPECT_EQ(all.expressionFilter, o.byAcronym("TH").selfSet);
    EXPECT_EQ(all.atlasStructures, o.byAcronym("OLF").selfSet);
    EXPECT_EQ(all.rotation, (std::array<float, 4>{0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(all.origin, (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(all.zoom, 80.0f);
    EXPECT_EQ(all.sliceVisible, (std::array<std::uint8_t, 3>{1, 0, 0}));
    EXPECT_EQ(all.sliceLocation[0], 30.0f);
    EXPECT_EQ(all.clipLower(2), 10.0f);
    EXPECT_EQ(all.clipUpper(2), 100.0f);
    EXPECT_EQ(all.scoreLower, 12.0f);
    EXPECT_EQ(all.scoreUpper, 90.0f);
    EXPECT_EQ(all.countLower, 7.0f);
    EXPECT_EQ(all.countUpper, -1.0f);

    const Bookmark zoomOnly("Zoom", Bookmark::ViewZoom, source);
    EXPECT_EQ(zoomOnly.zoom, 80.0f);
    EXPECT_EQ(zoomOnly.rotation, (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_EQ(zoomOnly.sliceLocation[0], -1.0f);

    TestModel target;
    all.apply(target);
    const Bookmark back("Back", Bookmark::AllSettings, target);
    Bookmark expected(all);
    expected.setName("Back");
    EXPECT_EQ(back.expressionFilter, expected.expressionFilter);
    EXPECT_EQ(back.rotation, expected.rotation);
    EXPECT_EQ(back.sliceVisible, expected.sliceVisible);
    EXPECT_EQ(back.sliceLocation, expected.sliceLocation);
    EXPECT_EQ(back.clipping, expected.clipping);
    EXPECT_EQ(back.scoreLower, expected.scoreLower);
    EXPECT_EQ(back.countUpper, expected.countUpper);

    Bookmark copy;
    copy.assign(zoomOnly);
    EXPECT_EQ(copy.name(), "Zoom");
    EXPECT_EQ(copy.zoom, 80.0f);
}

TEST(Bookmark, ApplyingAZoomOnlyBookmarkTouchesNothingElse) {
    test::BookmarkOntology o;
    TestModel model;
    dressModel(model, o);
    const Bookmark before("Before", Bookmark::AllSettings, model);
    ModelRecorder recorder;
    model.addListener(&recorder);

    Bookmark zoom("Zoom", Bookmark::ViewZoom);
    zoom.zoom = 120.0f;
    zoom.apply(model);

    EXPECT_EQ(recorder.events, (std::vector<ModelRecorder::Event>{ModelRecorder::of(ModelEvent::ZoomChanged, 120)}));
    Bookmark after("Before", Bookmark::AllSettings, model);
    EXPECT_EQ(after.zoom, 120.0f);
    after.zoom = before.zoom;
    EXPECT_EQ(after.rotation, before.rotation);
    EXPECT_EQ(after.origin, before.origin);
    EXPECT_EQ(after.clipping, before.clipping);
    EXPECT_EQ(after.sliceLocation, before.sliceLocation);
    EXPECT_EQ(after.atlasStructures, before.atlasStructures);
    model.removeListener(&recorder);
}

TEST(Bookmark, ApplyRaisesEventsInItsFixedOrder) {
    test::BookmarkOntology o;
    TestModel source;
    dressModel(source, o);
    const Bookmark all("All", Bookmark::AllSettings, source);
    TestModel model;
    ModelRecorder recorder;
    model.addListener(&recorder);
    all.apply(model);
    using E = ModelEvent;
    const std::vector<ModelRecorder::Event> expected{
        ModelRecorder::of(E::ExpressionStructuresChanged),
        ModelRecorder::of(E::ShownStructuresChanged),
        ModelRecorder::of(E::RotationChanged),
        ModelRecorder::of(E::TranslationChanged),
        ModelRecorder::of(E::ZoomChanged, 80),
        ModelRecorder::of(E::DisplayFlagChanged),
        ModelRecorder::of(E::SectionMoved, 0),
        ModelRecorder::of(E::SectionMoved, 1),
        ModelRecorder::of(E::SectionMoved, 2),
        ModelRecorder::of(E::ClippingPlaneChanged, 2),
        ModelRecorder::of(E::ClippingPlaneChanged, 2),
        ModelRecorder::of(E::ThresholdChanged),
        ModelRecorder::of(E::ThresholdChanged),
    };
    EXPECT_EQ(recorder.events, expected);
    model.removeListener(&recorder);
}

// The model keeps its lower clipping bound at least 2 below the upper one, so a range that lies
// wholly above the current one needs its upper bound moved first.
TEST(Bookmark, ClippingRangesAboveOrBelowTheCurrentOneArriveWhole) {
    struct Case {
        float currentLower, currentUpper, lower, upper;
    };
    const Case cases[] = {{0, 50, 100, 130}, {100, 130, 5, 20}, {0, 132, 60, 70}, {60, 70, 0, 132}};
    for (const Case& c : cases) {
        TestModel model;
        model.setClippingPlane(0, c.currentLower, true, false);
        model.setClippingPlane(0, c.currentUpper, false, false);
        Bookmark b("Clip", Bookmark::ClippingPlanes);
        b.clipping[0] = c.lower;
        b.clipping[1] = c.upper;
        b.apply(model);
        EXPECT_EQ(model.clippingPlane(0, true), c.lower) << c.currentLower << ".." << c.currentUpper;
        EXPECT_EQ(model.clippingPlane(0, false), c.upper) << c.currentLower << ".." << c.currentUpper;
    }
}

TEST(Bookmark, NumbersAreWrittenAndReadLocaleFree) {
    const std::pair<float, const char*> written[] = {
        {0.70710677f, "0.707107"}, {40.0f, "40"}, {132.0f, "132"}, {-1.0f, "-1"}, {1234567.0f, "1.23457e+06"}};
    for (const auto& [value, text] : written)
        EXPECT_EQ(formatBookmarkNumber(value), text);
    const std::pair<const char*, float> read[] = {
        {"0.5", 0.5f}, {"  +2.5", 2.5f}, {"12abc", 12.0f}, {"abc", 0.0f}, {"", 0.0f}, {"-3", -3.0f}};
    for (const auto& [text, value] : read)
        EXPECT_EQ(parseBookmarkNumber(text), value) << text;
}

} // namespace
} // namespace volumira

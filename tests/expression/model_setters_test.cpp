#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "support/ErrorText.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace volumira;
using test::errorOf;
using test::ModelRecorder;
using Events = std::vector<ModelRecorder::Event>;

TEST(ModelSetters, NewModelHasTheDefaults) {
    const test::TestModel model;
    const std::array<float, 3> sections{66.5f, 40.5f, 52.5f};
    const std::array<float, 3> last{132.0f, 80.0f, 114.0f};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(model.sectionPosition(axis), sections[static_cast<std::size_t>(axis)]) << axis;
        EXPECT_EQ(model.clippingPlane(axis, true), 0.0f) << axis;
        EXPECT_EQ(model.clippingPlane(axis, false), last[static_cast<std::size_t>(axis)]) << axis;
    }
    for (int flag = 0; flag < BrainExpressionModel::kDisplayFlagCount; ++flag)
        EXPECT_FALSE(model.displayFlag(flag)) << flag;
    EXPECT_EQ(model.zoom(), 40.0f);
    EXPECT_EQ(model.rotation(), (std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_EQ(model.translation(), (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(model.annotationBlend(), 0.5f);
    float lo = 0, hi = 0;
    model.levelThreshold(lo, hi);
    EXPECT_EQ(lo, 0.0f);
    EXPECT_EQ(hi, -1.0f);
    model.expressorThreshold(lo, hi);
    EXPECT_EQ(lo, 5.0f);
    EXPECT_EQ(hi, -1.0f);
    EXPECT_EQ(model.imagePanelMode(), 2);
    EXPECT_EQ(model.expressionStructures(), StructureSet::full());
    EXPECT_TRUE(model.shownStructures().empty());
    EXPECT_EQ(model.geneCount(), 0);
    EXPECT_EQ(model.selectedCellGeneIndex(), -1);
}

TEST(ModelSetters, SectionPositionIsClampedAndAlwaysAnnounced) {
    struct Case {
        int axis;
        float in, stored;
    };
    for (const Case& c : std::vector<Case>{{1, 200.0f, 80.0f},
                                           {0, -3.0f, 0.0f},
                                           {0, 131.9f, 131.9f},
                                           {0, 132.5f, 132.0f},
                                           {2, 57.25f, 57.25f},
                                           {1, 80.9f, 80.0f}}) {
        test::TestModel model;
        ModelRecorder recorder;
        model.addListener(&recorder);
        model.setSectionPosition(c.axis, c.in, true);
        SCOPED_TRACE(std::to_string(c.axis) + ":" + std::to_string(c.in));
        EXPECT_EQ(model.sectionPosition(c.axis), c.stored);
        model.setSectionPosition(c.axis, c.in, true);
        model.setSectionPosition(c.axis, c.in, false);
        EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::SectionMoved, c.axis),
                                           ModelRecorder::of(ModelEvent::SectionMoved, c.axis)}));
    }
}

TEST(ModelSetters, ClippingPlaneIsClampedAndKeepsTheBoxOpen) {
    struct Case {
        int axis;
        float presetMin, presetMax;
        float value;
        bool isMinimum;
        float stored;
        bool announced;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 132, 140, false, 132, false},
                                           {0, 0, 132, 131, true, 130, true},
                                           {1, 0, 80, -5, true, 0, false},
                                           {1, 10, 50, 5, false, 11, true},
                                           {2, 0, 114, 60.5f, false, 60.5f, true},
                                           {2, 20, 114, 200, true, 112, true},
                                           // Against a maximum below 2 the minimum stays on the grid.
                                           {0, 0, 1, 0, true, 0, false},
                                           {1, 0, 1.5f, 0.25f, true, 0, false}}) {
        test::TestModel model;
        model.setClippingPlane(c.axis, c.presetMin, true, false);
        model.setClippingPlane(c.axis, c.presetMax, false, false);
        ModelRecorder recorder;
        model.addListener(&recorder);
        model.setClippingPlane(c.axis, c.value, c.isMinimum, true);
        SCOPED_TRACE(std::to_string(c.axis) + ":" + std::to_string(c.value));
        EXPECT_EQ(model.clippingPlane(c.axis, c.isMinimum), c.stored);
        const Events expected =
            c.announced ? Events{ModelRecorder::of(ModelEvent::ClippingPlaneChanged, c.axis)} : Events{};
        EXPECT_EQ(recorder.events, expected);
    }
}

TEST(ModelSetters, ZoomIsClampedAndReportedTruncated) {
    test::TestModel model;
    ModelRecorder recorder;
    model.addListener(&recorder);
    model.setZoom(300.0f, true);
    EXPECT_EQ(model.zoom(), 250.0f);
    model.setZoom(250.0f, true);
    model.setZoom(1.0f, true);
    EXPECT_EQ(model.zoom(), 15.0f);
    model.setZoom(77.9f, true);
    model.setZoom(60.0f, false);
    EXPECT_EQ(model.zoom(), 60.0f);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ZoomChanged, 250),
                                       ModelRecorder::of(ModelEvent::ZoomChanged, 15),
                                       ModelRecorder::of(ModelEvent::ZoomChanged, 77)}));
}

TEST(ModelSetters, ThresholdsAreClampedAndAnnouncedOnlyWhenChanged) {
    struct Case {
        float min, max, storedMin, storedMax;
    };
    const std::vector<Case> cases{{10, 3, 3, 3}, {10, -1, 10, -1}, {-4, 20, 0, 20}, {-4, -2, 0, -2}};
    for (int which = 0; which < 2; ++which)
        for (const Case& c : cases) {
            test::TestModel model;
            ModelRecorder recorder;
            model.addListener(&recorder);
            float lo = 0, hi = 0;
            if (which == 0) {
                model.setLevelThreshold(c.min, c.max, true);
                model.setLevelThreshold(c.min, c.max, true);
                model.levelThreshold(lo, hi);
            } else {
                model.setExpressorThreshold(c.min, c.max, true);
                model.setExpressorThreshold(c.min, c.max, true);
                model.expressorThreshold(lo, hi);
            }
            SCOPED_TRACE(std::to_string(which) + ":" + std::to_string(c.min) + "," + std::to_string(c.max));
            EXPECT_EQ(lo, c.storedMin);
            EXPECT_EQ(hi, c.storedMax);
            EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ThresholdChanged)}));
        }
}

TEST(ModelSetters, ValueSettersAnnounceOnlyChangesAndOnlyWhenAsked) {
    struct Case {
        std::string name;
        std::function<void(BrainExpressionModel&, bool)> set;
        ModelRecorder::Event event;
    };
    const std::vector<Case> cases{
        {"display flag", [](BrainExpressionModel& m, bool n) { m.setDisplayFlag(1, true, n); },
         ModelRecorder::of(ModelEvent::DisplayFlagChanged)},
        {"clipping shown", [](BrainExpressionModel& m, bool n) { m.setClippingPlanesShown(true, n); },
         ModelRecorder::of(ModelEvent::ClippingPlanesShownChanged, 1)},
        {"mesh style", [](BrainExpressionModel& m, bool n) { m.setMeshDisplayStyle(1, n); },
         ModelRecorder::of(ModelEvent::MeshDisplayStyleChanged, 1)},
        {"colour mode", [](BrainExpressionModel& m, bool n) { m.setGeneColourMode(3, n); },
         ModelRecorder::of(ModelEvent::GeneColourModeChanged, 3)},
        {"compass", [](BrainExpressionModel& m, bool n) { m.setCompassLocation(2, n); },
         ModelRecorder::of(ModelEvent::CompassLocationChanged, 2)},
        {"image alpha", [](BrainExpressionModel& m, bool n) { m.setImageAlpha(0.8f, n); },
         ModelRecorder::of(ModelEvent::ImageAlphaChanged)},
        {"threshold controls", [](BrainExpressionModel& m, bool n) { m.setThresholdControlsShown(true, n); },
         ModelRecorder::of(ModelEvent::ThresholdControlsShownChanged)},
        {"image panel", [](BrainExpressionModel& m, bool n) { m.setImagePanelMode(0, n); },
         ModelRecorder::of(ModelEvent::ImagePanelModeChanged)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestModel quiet;
        ModelRecorder quietRecorder;
        quiet.addListener(&quietRecorder);
        c.set(quiet, false);
        EXPECT_TRUE(quietRecorder.events.empty());

        test::TestModel model;
        ModelRecorder recorder;
        model.addListener(&recorder);
        c.set(model, true);
        c.set(model, true);
        EXPECT_EQ(recorder.events, Events{c.event});
    }
    test::TestModel model;
    model.setClippingPlanesShown(true, false);
    model.setThresholdControlsShown(true, false);
    EXPECT_TRUE(model.clippingPlanesShown());
    EXPECT_TRUE(model.displayFlag(BrainExpressionModel::kFlagClippingPlanesShown));
    EXPECT_TRUE(model.thresholdControlsShown());
    EXPECT_EQ(model.imageAlpha(), 0.5f);
}

TEST(ModelSetters, CameraSettersAlwaysStoreAndAnnounceWhenAsked) {
    test::TestModel model;
    ModelRecorder recorder;
    model.addListener(&recorder);
    model.setRotation({0, 0, 0, 1}, true);
    model.setTranslation({0, 0, 0}, true);
    model.setRotation({0.5f, 0.5f, 0.5f, 0.5f}, false);
    model.setTranslation({1, 2, 3}, false);
    EXPECT_EQ(model.rotation(), (std::array<float, 4>{0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(model.translation(), (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::RotationChanged),
                                       ModelRecorder::of(ModelEvent::TranslationChanged)}));

    recorder.events.clear();
    model.setZoom(100, false);
    model.setClippingPlane(0, 50, true, false);
    model.setLevelThreshold(20, 30, false);
    model.resetView();
    EXPECT_EQ(model.zoom(), 40.0f);
    EXPECT_EQ(model.rotation(), (std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_EQ(model.translation(), (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(model.clippingPlane(0, true), 0.0f);
    float lo = 0, hi = 0;
    model.levelThreshold(lo, hi);
    EXPECT_EQ(lo, 0.0f);
    EXPECT_EQ(hi, -1.0f);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 0),
                                       ModelRecorder::of(ModelEvent::ThresholdChanged),
                                       ModelRecorder::of(ModelEvent::ViewReset)}));
}

TEST(ModelSetters, BadAxesAndFlagsAreRejected) {
    test::TestModel model;
    for (int axis : {-1, 3}) {
        EXPECT_EQ(errorOf([&] { model.setSectionPosition(axis, 1, true); }), "Invalid MPR plane specified.");
        EXPECT_EQ(errorOf([&] { model.sectionPosition(axis); }), "Invalid MPR plane specified.");
        EXPECT_EQ(errorOf([&] { model.setClippingPlane(axis, 1, true, true); }),
                  "Invalid cutting plane specified.");
        EXPECT_EQ(errorOf([&] { model.clippingPlane(axis, false); }), "Invalid cutting plane specified.");
    }
    EXPECT_THROW(model.displayFlag(8), std::invalid_argument);
    EXPECT_THROW(model.setDisplayFlag(-1, true, true), std::invalid_argument);
}

TEST(ModelSetters, HidingTheHighlightedStructureClearsItUnlessASectionShowsIt) {
    Structure structure;
    structure.selfSet.set(7);
    StructureSet withIt, without;
    withIt.set(7);
    without.set(8);
    for (int sectionFlag : {-1, 0, 1, 2}) {
        SCOPED_TRACE(sectionFlag);
        test::TestModel model;
        if (sectionFlag >= 0) model.setDisplayFlag(sectionFlag, true, false);
        model.setHighlightedStructure(&structure, false);
        ModelRecorder recorder;
        model.addListener(&recorder);
        model.setShownStructures(withIt, true);
        model.setShownStructures(without, true);
        EXPECT_EQ(model.shownStructures(), without);
        Events expected{ModelRecorder::of(ModelEvent::ShownStructuresChanged),
                        ModelRecorder::of(ModelEvent::ShownStructuresChanged)};
        if (sectionFlag < 0) expected.push_back(ModelRecorder::of(ModelEvent::HighlightedStructureChanged));
        EXPECT_EQ(recorder.events, expected);
        EXPECT_EQ(model.highlightedStructure(), sectionFlag < 0 ? nullptr : &structure);
    }
}

TEST(ModelSetters, FilteringOutTheSelectedCellsStructureClearsTheSelection) {
    Structure structure;
    structure.selfSet.set(3);
    ExpressionCell cell;
    cell.structure = &structure;
    const GeneExpression gene("g", "G");
    test::TestModel model;
    ModelRecorder recorder;
    model.addListener(&recorder);
    model.selectCell(&gene, &cell, true);
    model.selectCell(&gene, &cell, true);
    StructureSet keep;
    keep.set(3);
    model.setExpressionStructures(keep, false);
    EXPECT_EQ(model.selectedCell(), &cell);
    model.setExpressionStructures(StructureSet{}, false);
    EXPECT_EQ(model.selectedCell(), nullptr);
    EXPECT_EQ(model.selectedCellGene(), nullptr);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::SelectionChanged),
                                       ModelRecorder::of(ModelEvent::SelectionChanged)}));
}

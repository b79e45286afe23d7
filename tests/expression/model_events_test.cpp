#include "expression/BrainExpressionModel.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"

#include <gtest/gtest.h>
#include <vector>

using namespace volumira;
using test::ModelRecorder;

TEST(ModelEvents, CodesAreStable) {
    EXPECT_EQ(static_cast<int>(ModelEvent::ExpressionStructuresChanged), 1);
    EXPECT_EQ(static_cast<int>(ModelEvent::SectionMoved), 5);
    EXPECT_EQ(static_cast<int>(ModelEvent::ZoomChanged), 12);
    EXPECT_EQ(static_cast<int>(ModelEvent::SelectionChanged), 17);
    EXPECT_EQ(static_cast<int>(ModelEvent::ViewReset), 20);
    EXPECT_EQ(static_cast<int>(ModelEvent::ImagePanelModeChanged), 24);
}

TEST(ModelEvents, ListenersAreToldInOrderOfAdditionOnceEach) {
    test::TestModel model;
    std::vector<int> order;
    ModelRecorder a, b;
    a.onEvent = [&order](int) { order.push_back(1); };
    b.onEvent = [&order](int) { order.push_back(2); };
    model.addListener(&b);
    model.addListener(&a);
    model.addListener(&b);
    model.addListener(nullptr);
    model.notify(ModelEvent::SectionMoved, 7);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    EXPECT_EQ(a.events, (std::vector<ModelRecorder::Event>{ModelRecorder::of(ModelEvent::SectionMoved, 7)}));
    EXPECT_EQ(a.lastModel, &model);

    model.removeListener(&b);
    model.notify(ModelEvent::ZoomChanged, 3);
    EXPECT_EQ(order, (std::vector<int>{2, 1, 1}));
    EXPECT_EQ(b.events.size(), 1u);
}

TEST(ModelEvents, ListenerMayRemoveItselfAndOthersWhileBeingTold) {
    test::TestModel model;
    ModelRecorder first, second, added;
    first.onEvent = [&](int) {
        model.removeListener(&first);
        model.removeListener(&second);
        model.addListener(&added);
    };
    model.addListener(&first);
    model.addListener(&second);
    model.notify(ModelEvent::ViewReset);
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_TRUE(second.events.empty());
    // Joined during the round: heard from the next one on.
    EXPECT_TRUE(added.events.empty());
    model.notify(ModelEvent::ViewReset);
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_EQ(added.events.size(), 1u);
}

TEST(ModelEvents, ListenerMayCallSettersFromANotification) {
    test::TestModel model;
    ModelRecorder recorder;
    recorder.onEvent = [&model](int event) {
        if (event == static_cast<int>(ModelEvent::ZoomChanged)) model.setSectionPosition(0, 10.0f, true);
    };
    model.addListener(&recorder);
    model.setZoom(100.0f, true);
    EXPECT_EQ(recorder.events,
              (std::vector<ModelRecorder::Event>{ModelRecorder::of(ModelEvent::ZoomChanged, 100),
                                                 ModelRecorder::of(ModelEvent::SectionMoved, 0)}));
    EXPECT_EQ(model.sectionPosition(0), 10.0f);
}

// Reset announces each clipping face, section and threshold it puts back, so that what is built from
// them (the expressors inside the box, the section slices) is rebuilt; then the camera.
TEST(ModelEvents, ResetViewAnnouncesWhatItPutsBack) {
    using Events = std::vector<ModelRecorder::Event>;
    test::TestModel model;
    model.setClippingPlane(0, 30.0f, true, false);
    model.setClippingPlane(2, 90.0f, false, false);
    model.setSectionPosition(1, 12.0f, false);
    model.setExpressorThreshold(8.0f, 20.0f, false);
    model.setZoom(120.0f, false);
    ModelRecorder recorder;
    model.addListener(&recorder);

    model.resetView();
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 0),
                                       ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 2),
                                       ModelRecorder::of(ModelEvent::SectionMoved, 1),
                                       ModelRecorder::of(ModelEvent::ThresholdChanged),
                                       ModelRecorder::of(ModelEvent::ViewReset)}));
    EXPECT_EQ(model.clippingPlane(0, true), 0.0f);
    EXPECT_EQ(model.clippingPlane(2, false), 114.0f);
    EXPECT_EQ(model.sectionPosition(1), 40.5f);
    EXPECT_EQ(model.zoom(), 40.0f);

    // Nothing left to put back: only the camera event.
    recorder.events.clear();
    model.resetView();
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ViewReset)}));
}

// A box narrowed to its thinnest slab, at either end of the grid, comes back whole: its minimum is put back
// before its maximum, and must not be pushed off the grid by the old maximum on the way.
TEST(ModelEvents, ResetFromANarrowBoxRestoresTheWholeGrid) {
    using Events = std::vector<ModelRecorder::Event>;
    test::TestModel model;
    model.setClippingPlane(0, 0.0f, false, false); // [0, 1]: the maximum keeps one voxel above the minimum
    model.setClippingPlane(1, 1.5f, false, false); // [0, 1.5]
    model.setClippingPlane(2, 112.0f, true, false);
    model.setClippingPlane(2, 0.0f, false, false); // [112, 113]
    ASSERT_EQ(model.clippingPlane(0, false), 1.0f);
    ASSERT_EQ(model.clippingPlane(1, false), 1.5f);
    ASSERT_EQ(model.clippingPlane(2, true), 112.0f);
    ASSERT_EQ(model.clippingPlane(2, false), 113.0f);
    ModelRecorder recorder;
    // What a listener reads while told of a face must already be a box on the grid.
    std::vector<float> minimaSeen;
    recorder.onEvent = [&](int event) {
        if (event == static_cast<int>(ModelEvent::ClippingPlaneChanged))
            for (int axis = 0; axis < 3; ++axis)
                minimaSeen.push_back(model.clippingPlane(axis, true));
    };
    model.addListener(&recorder);

    model.resetView();
    const float last[] = {132.0f, 80.0f, 114.0f};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(model.clippingPlane(axis, true), 0.0f) << axis;
        EXPECT_EQ(model.clippingPlane(axis, false), last[axis]) << axis;
    }
    for (const float minimum : minimaSeen)
        EXPECT_GE(minimum, 0.0f);
    // Only the faces that move are announced, each axis's minimum before its maximum.
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 0),
                                       ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 1),
                                       ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 2),
                                       ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 2),
                                       ModelRecorder::of(ModelEvent::ViewReset)}));
}

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

// What the model settles itself after a change: a selected cell that is no longer drawn is dropped, the
// current gene follows the user's choices, a clipping drag is announced when it ends, and a threshold
// step that moves both ranges is one change. Each consequence is announced after its cause, to every
// listener in turn, never from inside another listener's notification.

#include "atlas/ColourMap.h"
#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <array>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace volumira;
using test::ModelRecorder;
using Events = std::vector<ModelRecorder::Event>;

namespace {

// A model with one gene and a selected cell of it that the default filters draw: level 100, 10 expressors,
// inside the clipping box, in a structure the expression filter holds. Two recorders listen, in order.
struct SelectedCell {
    test::TestModel model;
    Structure structure;
    ExpressionCell cell;
    const GeneExpression* gene = nullptr;
    ModelRecorder first, second;

    SelectedCell() {
        structure.selfSet.set(3);
        cell.structure = &structure;
        cell.level = 100.0f;
        cell.expressors = 10;
        cell.x = 60.0f;
        cell.y = 40.0f;
        cell.z = 50.0f;
        model.addGene(std::make_unique<GeneExpression>("g", "G"));
        gene = &model.geneAt(0);
        model.selectCell(gene, &cell, false);
        model.addListener(&first);
        model.addListener(&second);
    }
};

// Level tables black up to a foot, white above it.
struct FootTables {
    test::TempDir dir;
    ColourMap levels, jet;

    FootTables(int levelFoot, int jetFoot) {
        levels.load(write("levels.map", levelFoot));
        jet.load(write("jet.map", jetFoot));
    }

    std::string write(const char* name, int foot) const {
        const std::string path = dir.file(name);
        std::ofstream out(path);
        for (int i = 0; i < ColourMap::kEntryCount; ++i)
            out << (i <= foot ? "0 0 0" : "255 255 255") << "\n";
        return path;
    }
};

} // namespace

TEST(ModelRules, AChangeThatHidesTheSelectedCellDropsItAfterEveryListenerHeardTheChange) {
    // The level table is black at the cell's level 100, the jet table is not.
    FootTables tables(120, 50);
    struct Case {
        std::string name;
        std::function<void(BrainExpressionModel&)> change;
        Events expected; // what each listener hears, in order
    };
    const auto threshold = ModelRecorder::of(ModelEvent::ThresholdChanged);
    const auto selection = ModelRecorder::of(ModelEvent::SelectionChanged);
    const std::vector<Case> cases{
        {"level minimum above the cell",
         [](auto& m) { m.setLevelThreshold(101.0f, -1.0f, true); },
         {threshold, selection}},
        {"level maximum below the cell",
         [](auto& m) { m.setLevelThreshold(0.0f, 99.0f, true); },
         {threshold, selection}},
        {"expressor maximum below the cell",
         [](auto& m) { m.setExpressorThreshold(0.0f, 9.0f, true); },
         {threshold, selection}},
        {"both ranges in one step",
         [](auto& m) { m.setThresholds(0.0f, 99.0f, 0.0f, 9.0f, true); },
         {threshold, selection}},
        {"colour mode whose table is black there",
         [](auto& m) { m.setGeneColourMode(2, true); },
         {ModelRecorder::of(ModelEvent::GeneColourModeChanged, 2), selection}},
        {"threshold that keeps the cell",
         [](auto& m) { m.setLevelThreshold(100.0f, 100.0f, true); },
         {threshold}},
        {"colour mode whose table is not black there",
         [](auto& m) { m.setGeneColourMode(3, true); },
         {ModelRecorder::of(ModelEvent::GeneColourModeChanged, 3)}},
        // Unannounced changes stay as they are: nobody was told, nothing follows.
        {"unannounced threshold", [](auto& m) { m.setLevelThreshold(101.0f, -1.0f, false); }, {}},
        {"unannounced colour mode", [](auto& m) { m.setGeneColourMode(2, false); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SelectedCell s;
        s.model.setLevelColourTables({tables.levels, tables.jet});
        // While the cause is told, the cell is still selected for every listener: no listener hears the
        // consequence from inside another's notification.
        std::vector<bool> selectedWhileTold;
        const auto watch = [&](std::int32_t event) {
            if (event != static_cast<std::int32_t>(ModelEvent::SelectionChanged))
                selectedWhileTold.push_back(s.model.selectedCell() != nullptr);
        };
        s.first.onEvent = watch;
        s.second.onEvent = watch;
        c.change(s.model);
        EXPECT_EQ(s.first.events, c.expected);
        EXPECT_EQ(s.second.events, c.expected);
        EXPECT_EQ(selectedWhileTold, std::vector<bool>(2 * (c.expected.empty() ? 0 : 1), true));
        const bool dropped = c.expected.size() == 2;
        EXPECT_EQ(s.model.selectedCell(), dropped ? nullptr : &s.cell);
        EXPECT_EQ(s.model.selectedCellGene(), dropped ? nullptr : s.gene);
    }
}

TEST(ModelRules, WithoutColourTablesOnlyFiltersThresholdsAndTheBoxDecide) {
    FootTables tables(120, 50);
    SelectedCell s;
    s.model.setGeneColourMode(2, true);
    EXPECT_EQ(s.model.selectedCell(), &s.cell);
    // The tables given and taken back again: the mode alone hides nothing.
    s.model.setGeneColourMode(0, true);
    s.model.setLevelColourTables({tables.levels, tables.jet});
    s.model.clearLevelColourTables();
    s.model.setGeneColourMode(2, true);
    EXPECT_EQ(s.model.selectedCell(), &s.cell);
    // The clipping box counts once anything that checks the selection is announced.
    s.model.setClippingPlane(0, 61.0f, true, false);
    s.model.setExpressorThreshold(1.0f, -1.0f, true);
    EXPECT_EQ(s.model.selectedCell(), nullptr);
}

TEST(ModelRules, TheCurrentGeneFollowsAddedGenesAndSelectedCellsWhenTracked) {
    test::TestModel model;
    model.setTracksCurrentGene(true);
    ModelRecorder first, second;
    model.addListener(&first);
    model.addListener(&second);
    // Every listener hears of a new gene first; told of the current gene, it reads the new one.
    std::vector<const GeneExpression*> currentWhenToldOfCurrent;
    second.onEvent = [&](std::int32_t event) {
        if (event == static_cast<std::int32_t>(ModelEvent::CurrentGeneChanged))
            currentWhenToldOfCurrent.push_back(model.currentGene());
    };
    model.addGene(std::make_unique<GeneExpression>("a", "A"));
    model.addGene(std::make_unique<GeneExpression>("b", "B"));
    const GeneExpression* a = &model.geneAt(0);
    const GeneExpression* b = &model.geneAt(1);
    const Events added{
        ModelRecorder::of(ModelEvent::GeneAdded, 0), ModelRecorder::of(ModelEvent::CurrentGeneChanged),
        ModelRecorder::of(ModelEvent::GeneAdded, 1), ModelRecorder::of(ModelEvent::CurrentGeneChanged)};
    EXPECT_EQ(first.events, added);
    EXPECT_EQ(second.events, added);
    EXPECT_EQ(currentWhenToldOfCurrent, (std::vector<const GeneExpression*>{a, b}));
    EXPECT_EQ(model.currentGene(), b);

    struct Case {
        std::string name;
        std::function<void()> select;
        Events expected;
        const GeneExpression* current;
    };
    ExpressionCell cellOfA, otherCellOfA, cellOfB;
    const GeneExpression outsider("o", "O");
    ExpressionCell outsiderCell;
    const auto selection = ModelRecorder::of(ModelEvent::SelectionChanged);
    const auto current = ModelRecorder::of(ModelEvent::CurrentGeneChanged);
    const std::vector<Case> cases{
        {"a cell of another gene", [&] { model.selectCell(a, &cellOfA, true); }, {selection, current}, a},
        {"another cell of the current gene",
         [&] { model.selectCell(a, &otherCellOfA, true); },
         {selection},
         a},
        {"no cell: the current gene stays",
         [&] { model.selectCell(nullptr, nullptr, true); },
         {selection},
         a},
        {"unannounced", [&] { model.selectCell(b, &cellOfB, false); }, {}, a},
        {"a gene the model does not hold",
         [&] { model.selectCell(&outsider, &outsiderCell, true); },
         {selection},
         a},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        first.events.clear();
        c.select();
        EXPECT_EQ(first.events, c.expected);
        EXPECT_EQ(model.currentGene(), c.current);
    }
}

TEST(ModelRules, AnUntrackedModelLeavesTheCurrentGeneToItsUser) {
    test::TestModel model;
    ASSERT_FALSE(model.tracksCurrentGene());
    ModelRecorder recorder;
    model.addListener(&recorder);
    model.addGene(std::make_unique<GeneExpression>("a", "A"));
    ExpressionCell cell;
    model.selectCell(&model.geneAt(0), &cell, true);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::GeneAdded, 0),
                                       ModelRecorder::of(ModelEvent::SelectionChanged)}));
    EXPECT_EQ(model.currentGene(), nullptr);
}

TEST(ModelRules, AGeneTakenOutWhileItsAdditionIsToldNeverBecomesCurrent) {
    test::TestModel model;
    model.setTracksCurrentGene(true);
    ModelRecorder recorder;
    recorder.onEvent = [&model](std::int32_t event) {
        if (event == static_cast<std::int32_t>(ModelEvent::GeneAdded)) model.removeGene(0);
    };
    model.addListener(&recorder);
    model.addGene(std::make_unique<GeneExpression>("a", "A"));
    EXPECT_EQ(model.geneCount(), 0);
    EXPECT_EQ(model.currentGene(), nullptr);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::GeneAdded, 0),
                                       ModelRecorder::of(ModelEvent::GeneRemoving, 0)}));
}

TEST(ModelRules, TheEndOfAClippingDragIsAnnouncedOnce) {
    test::TestModel model;
    ModelRecorder recorder;
    model.addListener(&recorder);
    // The drag: the flag up, faces moved without a word.
    model.setAuxiliaryFlag(true);
    model.setClippingPlane(1, 70.0f, false, false);
    model.setClippingPlane(1, 60.0f, false, false);
    bool flagWhenTold = true;
    recorder.onEvent = [&](std::int32_t) { flagWhenTold = model.auxiliaryFlag(); };
    model.endClippingDrag(1);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 1)}));
    EXPECT_FALSE(flagWhenTold) << "listeners rebuild from the box with the interactive flag down";
    EXPECT_FALSE(model.auxiliaryFlag());
    EXPECT_EQ(model.clippingPlane(1, false), 60.0f);
    for (int axis : {-1, 3})
        EXPECT_EQ(test::errorOf([&] { model.endClippingDrag(axis); }), "Invalid cutting plane specified.");
    EXPECT_EQ(recorder.events.size(), 1u);
}

TEST(ModelRules, BothThresholdRangesAtOnceAreOneChange) {
    struct Case {
        std::string name;
        float minLevel, maxLevel, minCount, maxCount;
        bool notify;
        std::array<float, 4> stored;
        std::size_t announcements;
    };
    // The model starts at level [0, -1] and expressors [5, -1].
    const std::vector<Case> cases{
        {"both move", 20.0f, 90.0f, 7.0f, 30.0f, true, {20.0f, 90.0f, 7.0f, 30.0f}, 1},
        {"only the level moves", 20.0f, 90.0f, 5.0f, -1.0f, true, {20.0f, 90.0f, 5.0f, -1.0f}, 1},
        {"only the count moves", 0.0f, -1.0f, 7.0f, 30.0f, true, {0.0f, -1.0f, 7.0f, 30.0f}, 1},
        {"nothing moves", 0.0f, -1.0f, 5.0f, -1.0f, true, {0.0f, -1.0f, 5.0f, -1.0f}, 0},
        {"clamped as each range alone", 10.0f, 3.0f, -4.0f, 20.0f, true, {3.0f, 3.0f, 0.0f, 20.0f}, 1},
        {"unannounced", 20.0f, 90.0f, 7.0f, 30.0f, false, {20.0f, 90.0f, 7.0f, 30.0f}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestModel model;
        ModelRecorder recorder;
        std::array<float, 4> seen{};
        // Listeners see the whole step, never half of it.
        recorder.onEvent = [&](std::int32_t) {
            model.levelThreshold(seen[0], seen[1]);
            model.expressorThreshold(seen[2], seen[3]);
        };
        model.addListener(&recorder);
        model.setThresholds(c.minLevel, c.maxLevel, c.minCount, c.maxCount, c.notify);
        std::array<float, 4> stored{};
        model.levelThreshold(stored[0], stored[1]);
        model.expressorThreshold(stored[2], stored[3]);
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(recorder.events, Events(c.announcements, ModelRecorder::of(ModelEvent::ThresholdChanged)));
        if (c.announcements > 0) {
            EXPECT_EQ(seen, c.stored);
        }
    }
}

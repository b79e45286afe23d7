#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "support/ErrorText.h"

#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <vector>

using namespace volumira;
using test::errorOf;
using test::ModelRecorder;
using Events = std::vector<ModelRecorder::Event>;

namespace {

std::unique_ptr<GeneExpression> gene(const char* symbol) {
    return std::make_unique<GeneExpression>(symbol, symbol);
}

} // namespace

TEST(ModelGenes, GenesTakeThePaletteInTurnAcrossModels) {
    test::TestModel first, second;
    ModelRecorder recorder;
    first.addListener(&recorder);
    for (const char* s : {"A", "B", "C"})
        first.addGene(gene(s));
    for (const char* s : {"D", "E", "F"})
        second.addGene(gene(s));
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::GeneAdded, 0),
                                       ModelRecorder::of(ModelEvent::GeneAdded, 1),
                                       ModelRecorder::of(ModelEvent::GeneAdded, 2)}));
    std::set<std::array<float, 3>> colours;
    for (int i = 0; i < 3; ++i)
        colours.insert(first.geneAt(i).colour());
    for (int i = 0; i < 2; ++i)
        colours.insert(second.geneAt(i).colour());
    const std::set<std::array<float, 3>> palette(BrainExpressionModel::kGenePalette.begin(),
                                                 BrainExpressionModel::kGenePalette.end());
    EXPECT_EQ(colours, palette);
    // The sixth gene of the process starts the palette again.
    EXPECT_EQ(second.geneAt(2).colour(), first.geneAt(0).colour());
    EXPECT_EQ(second.geneAt(2).symbol(), "F");
}

TEST(ModelGenes, BadGeneIndicesAreRejected) {
    test::TestModel model;
    model.addGene(gene("A"));
    for (int index : {-1, 1}) {
        EXPECT_EQ(errorOf([&] { model.removeGene(index); }), "RemoveGene index out of range.");
        EXPECT_EQ(errorOf([&] { model.setGeneColour(index, 1, 1, 1); }), "RemoveGene index out of range.");
        EXPECT_EQ(errorOf([&] { model.setGeneVisible(index, false); }), "RemoveGene index out of range.");
        EXPECT_THROW(model.geneAt(index), std::invalid_argument);
    }
    EXPECT_THROW(model.addGene(nullptr), std::invalid_argument);
    EXPECT_EQ(model.geneCount(), 1);
}

TEST(ModelGenes, RemovingTheSelectedGeneAnnouncesRemovalThenSelectionThenCurrentGene) {
    test::TestModel model;
    model.addGene(gene("A"));
    model.addGene(gene("B"));
    const GeneExpression* b = &model.geneAt(1);
    ExpressionCell cell;
    model.selectCell(b, &cell, false);
    model.setCurrentGene(b, false);
    EXPECT_EQ(model.selectedCellGeneIndex(), 1);
    ModelRecorder recorder;
    recorder.onEvent = [&model](int event) {
        // The gene is still there while listeners hear of its removal.
        if (event == static_cast<int>(ModelEvent::GeneRemoving)) {
            EXPECT_EQ(model.geneCount(), 2);
        }
    };
    model.addListener(&recorder);
    model.removeGene(1);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::GeneRemoving, 1),
                                       ModelRecorder::of(ModelEvent::SelectionChanged),
                                       ModelRecorder::of(ModelEvent::CurrentGeneChanged)}));
    EXPECT_EQ(model.geneCount(), 1);
    EXPECT_EQ(model.geneAt(0).symbol(), "A");
    EXPECT_EQ(model.selectedCell(), nullptr);
    EXPECT_EQ(model.currentGene(), nullptr);
}

TEST(ModelGenes, ColourAndVisibilityAreStoredAndAnnounced) {
    test::TestModel model;
    model.addGene(gene("A"));
    ExpressionCell cell;
    model.selectCell(&model.geneAt(0), &cell, false);
    ModelRecorder recorder;
    model.addListener(&recorder);
    model.setGeneColour(0, 0.1f, 0.2f, 0.3f);
    model.setGeneVisible(0, true);
    EXPECT_EQ(model.geneAt(0).colour(), (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
    EXPECT_TRUE(model.geneAt(0).isVisible());
    model.setGeneVisible(0, false);
    EXPECT_FALSE(model.geneAt(0).isVisible());
    // Any visibility change drops the selection of that gene, even one that keeps it visible.
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::GeneColourChanged, 0),
                                       ModelRecorder::of(ModelEvent::GeneVisibilityChanged, 0),
                                       ModelRecorder::of(ModelEvent::SelectionChanged),
                                       ModelRecorder::of(ModelEvent::GeneVisibilityChanged, 0)}));
}

#include "atlas/Ontology.h"
#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "expression/XprTestFiles.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace volumira;
using test::ModelRecorder;
using Events = std::vector<ModelRecorder::Event>;

TEST(ModelShownStructures, LeafStructuresAreTheOnesWithoutChildren) {
    test::SmallAtlas atlas;
    const Ontology& ontology = atlas.ontology();
    test::TestModel model;
    ModelRecorder recorder;
    model.addListener(&recorder);
    model.showAllLeafStructures(ontology);
    StructureSet expected;
    for (int index : {2, 3, 4})
        expected.unite(ontology.structureAt(index).selfSet);
    EXPECT_EQ(model.shownStructures(), expected);
    EXPECT_FALSE(model.shownStructures().intersects(ontology.root().selfSet));
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ShownStructuresChanged)}));
}

TEST(ModelShownStructures, SearchableStructuresAreAFixedChoiceOfSlots) {
    test::SmallAtlas atlas;
    const Ontology& ontology = atlas.ontology();
    test::TestModel model;
    model.showSearchableStructures(ontology);
    // Of the small ontology's structures only the thalamus (slot 3) is among them.
    EXPECT_TRUE(model.shownStructures().intersects(ontology.structureAt(3).selfSet));
    for (int index : {1, 2, 4})
        EXPECT_FALSE(model.shownStructures().intersects(ontology.structureAt(index).selfSet)) << index;
}

TEST(ModelShownStructures, GenesShowTheStructuresOfTheirCellsWithMoreThanFiveExpressors) {
    test::SmallAtlas atlas;
    atlas.label(10, 20, 30, 2);
    atlas.label(11, 20, 30, 3);
    atlas.label(12, 20, 30, 4);
    test::Bytes payload;
    for (int i = 0; i < 16; ++i)
        payload.i32(i == 15 ? 3 : 0);
    for (const char* s : {"name", "Sym", "a", "b", "c"})
        payload.str(s);
    // Five expressors is not enough; six is.
    payload.raw(test::currentRecord(test::gridIdOf(10, 20, 30), 1, 0.5f, 10, 3, 1, 1, 5))
        .raw(test::currentRecord(test::gridIdOf(11, 20, 30), 1, 0.5f, 10, 3, 1, 1, 6))
        .raw(test::currentRecord(test::gridIdOf(12, 20, 30), 1, 0.5f, 10, 3, 1, 1, 200));
    auto stream = test::streamOf(
        test::Bytes{}.u32(test::kXprMagic).i32(20000).raw(test::compressedBlock(payload.data)).data);
    test::TestModel model;
    model.addGene(std::make_unique<GeneExpression>(stream, atlas.view()));
    ModelRecorder recorder;
    model.addListener(&recorder);
    const int genes[] = {0};
    model.showStructuresOfGenes(genes, 1);
    StructureSet expected = atlas.ontology().structureAt(3).selfSet;
    expected.unite(atlas.ontology().structureAt(4).selfSet);
    EXPECT_EQ(model.shownStructures(), expected);
    EXPECT_EQ(recorder.events, (Events{ModelRecorder::of(ModelEvent::ShownStructuresChanged)}));
    const int bad[] = {1};
    EXPECT_THROW(model.showStructuresOfGenes(bad, 1), std::invalid_argument);
}

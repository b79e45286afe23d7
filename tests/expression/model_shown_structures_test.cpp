#include "atlas/Ontology.h"
#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "expression/XprTestFiles.h"

#include <gtest/gtest.h>
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

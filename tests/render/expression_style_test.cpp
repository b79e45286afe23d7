#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "expression/TestModel.h"
#include "render/ExpressionFixture.h"
#include "render/ExpressorStyle.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::CellSpec;

TEST(ExpressorStyleTest, SizeGrowsWithExpressorsUpToTwenty) {
    const std::pair<int, float> cases[] = {{0, 0.0f},  {1, 0.05f}, {10, 0.5f},
                                           {20, 1.0f}, {35, 1.0f}, {65535, 1.0f}};
    for (const auto& [count, size] : cases) {
        ExpressionCell cell;
        cell.expressors = static_cast<std::uint16_t>(count);
        EXPECT_FLOAT_EQ(expressorSize(cell), size) << count;
    }
}

// The colour an expressor of this level gets, and whether a colour is issued at all.
struct Decision {
    bool visible, issued;
    std::array<float, 3> colour;
};

Decision decide(ExpressorColourer& colourer, float level) {
    bool issued = false;
    const bool visible = colourer.decide(level, issued);
    return {visible, issued, colourer.colour()};
}

void expectColour(const Decision& d, std::array<float, 3> expected, const char* what) {
    ASSERT_TRUE(d.visible) << what;
    ASSERT_TRUE(d.issued) << what;
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(d.colour[c], expected[c], 1e-5) << what << " channel " << c;
}

TEST(ExpressorStyleTest, ColourInEachModeFastAndQuality) {
    test::ExpressionFixture fixture;
    const Structure& cortex = fixture.ontology().structureAt(test::kCortex); // 200, 60, 60
    const std::array<float, 3> gene{0.9f, 0.47f, 0.0f};
    const float w = 102.0f / 255.0f;
    const LevelColourTables tables = fixture.tables();

    for (bool fast : {false, true}) {
        ExpressorColourer userDefined(kColourGene, fast, nullptr, gene);
        userDefined.startGroup(&cortex);
        ExpressorColourer atlas(kColourAtlas, fast, nullptr, gene);
        atlas.startGroup(&cortex);
        if (fast) {
            expectColour(decide(userDefined, 102.6f), {0.9f * w, 0.47f * w, 0.0f}, "fast gene");
            expectColour(decide(atlas, 102.6f),
                         {200 / 255.0f * w * 0.7f, 60 / 255.0f * w * 0.7f, 60 / 255.0f * w * 0.7f},
                         "fast atlas");
        } else {
            // Quality drawing colours modes 0 and 1 outside the lists.
            const Decision g = decide(userDefined, 102.6f), a = decide(atlas, 102.6f);
            EXPECT_TRUE(g.visible && a.visible);
            EXPECT_FALSE(g.issued || a.issued);
        }
        const float scale = fast ? w : 1.0f;
        ExpressorColourer level(kColourLevel, fast, tables.forMode(kColourLevel), gene);
        level.startGroup(&cortex);
        expectColour(decide(level, 102.6f),
                     {102 / 255.0f * scale, 153 / 255.0f * scale, 100 / 255.0f * scale}, "level table");
        ExpressorColourer jet(kColourJet, fast, tables.forMode(kColourJet), gene);
        jet.startGroup(&cortex);
        expectColour(decide(jet, 102.6f), {1.0f * scale, 102 / 255.0f * scale, 0.0f}, "jet table");
    }
}

TEST(ExpressorStyleTest, BlackEntriesHideCellsAndEqualLevelsKeepTheDecision) {
    test::ExpressionFixture fixture;
    ExpressorColourer level(kColourLevel, false, &fixture.levels(), {1, 1, 1});
    level.startGroup(nullptr);
    Decision d = decide(level, 29.9f); // entry 29 is black
    EXPECT_FALSE(d.visible);
    d = decide(level, 29.1f); // same integer level: still hidden
    EXPECT_FALSE(d.visible);
    d = decide(level, 30.0f);
    EXPECT_TRUE(d.visible && d.issued);
    d = decide(level, 30.7f); // same integer level: drawn, no new colour
    EXPECT_TRUE(d.visible);
    EXPECT_FALSE(d.issued);
    // A new group forgets the last level.
    level.startGroup(nullptr);
    d = decide(level, 30.2f);
    EXPECT_TRUE(d.visible && d.issued);
    // Levels beyond the table use its ends.
    EXPECT_EQ(tableLevel(-4.0f), 0);
    EXPECT_EQ(tableLevel(1e30f), 255);
    EXPECT_EQ(tableLevel(254.99f), 254);
}

TEST(ExpressorStyleTest, CellShownUnderThresholdsClippingStructuresAndTables) {
    test::ExpressionFixture fixture;
    auto gene = fixture.gene({{10, 20, 30, 100.0f, 10, test::kCortex},
                              {11, 20, 30, 20.0f, 10, test::kThalamus},
                              {12, 20, 30, 100.0f, 3, test::kHypothalamus}});
    const ExpressionCell& bright = gene->cells()[0];
    const ExpressionCell& dim = gene->cells()[1];
    const ExpressionCell& few = gene->cells()[2];
    test::TestModel model;
    const LevelColourTables tables = fixture.tables();
    model.setGeneColourMode(kColourGene, false);
    // Default thresholds: level 0.., at least 5 expressors.
    EXPECT_TRUE(isCellShown(model, tables, bright));
    EXPECT_TRUE(isCellShown(model, tables, dim));
    EXPECT_FALSE(isCellShown(model, tables, few));

    model.setLevelThreshold(50.0f, 100.0f, false);
    EXPECT_TRUE(isCellShown(model, tables, bright)); // bounds inclusive
    EXPECT_FALSE(isCellShown(model, tables, dim));
    model.setLevelThreshold(0.0f, 99.9f, false);
    EXPECT_FALSE(isCellShown(model, tables, bright));
    model.setLevelThreshold(0.0f, -1.0f, false);
    // Counts are truncated: 10.9 still admits 10, 9.9 does not.
    model.setExpressorThreshold(3.0f, 9.9f, false);
    EXPECT_FALSE(isCellShown(model, tables, bright));
    EXPECT_TRUE(isCellShown(model, tables, few));
    model.setExpressorThreshold(10.9f, -1.0f, false);
    EXPECT_TRUE(isCellShown(model, tables, bright));
    model.setExpressorThreshold(0.0f, -1.0f, false);

    // Clipping box: the faces themselves are inside.
    model.setClippingPlane(0, 11.0f, true, false);
    EXPECT_FALSE(isCellShown(model, tables, bright));
    EXPECT_TRUE(isCellShown(model, tables, dim));
    model.setClippingPlane(0, 0.0f, true, false);
    model.setClippingPlane(2, 29.5f, false, false);
    EXPECT_FALSE(isCellShown(model, tables, bright));
    model.setClippingPlane(2, 114.0f, false, false);

    // Structure filter.
    StructureSet onlyThalamus = fixture.ontology().structureAt(test::kThalamus).selfSet;
    model.setExpressionStructures(onlyThalamus, false);
    EXPECT_FALSE(isCellShown(model, tables, bright));
    EXPECT_TRUE(isCellShown(model, tables, dim));
    model.setExpressionStructures(StructureSet::full(), false);

    // Level 20 maps to a black entry of the level table but not of the jet table.
    model.setGeneColourMode(kColourLevel, false);
    EXPECT_FALSE(isCellShown(model, tables, dim));
    EXPECT_TRUE(isCellShown(model, tables, bright));
    model.setGeneColourMode(kColourJet, false);
    EXPECT_TRUE(isCellShown(model, tables, dim));
}

TEST(ExpressorStyleTest, OnlyNamedStructuresAreSelectable) {
    test::ExpressionFixture fixture;
    EXPECT_TRUE(isSelectableStructure(fixture.ontology().structureAt(test::kCortex)));
    EXPECT_FALSE(isSelectableStructure(fixture.ontology().structureAt(0)));
    EXPECT_FALSE(isSelectableStructure(fixture.ontology().structureAt(9)));
}

} // namespace
} // namespace volumira

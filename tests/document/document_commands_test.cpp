#include "atlas/Structure.h"
#include "document/GeneListText.h"
#include "document/HelpCommands.h"
#include "document/SelectionCommands.h"
#include "document/StructureChecks.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "expression/ModelRecorder.h"
#include "expression/TestModel.h"
#include "expression/XprTestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace volumira {
namespace {

// root (1) with the children CTX (2), TH (3), HY (4).
class StructureCommandsTest : public ::testing::Test {
  protected:
    const Structure& at(int index) const { return atlas.ontology().structureAt(index); }
    static StructureSet setOf(std::initializer_list<int> indices, const Ontology& ontology) {
        StructureSet set;
        for (const int i : indices) set.unite(ontology.structureAt(i).selfSet);
        return set;
    }
    StructureSet setOf(std::initializer_list<int> indices) const { return setOf(indices, atlas.ontology()); }

    test::SmallAtlas atlas;
    test::TestModel model;
};

TEST_F(StructureCommandsTest, TheShownBoxTogglesOneStructureOrWithCtrlItsFamily) {
    using K = StructureTreeKind;
    const struct {
        K tree;
        bool control;
        std::initializer_list<int> before;
        int clicked;
        std::initializer_list<int> after;
        bool select;
    } cases[] = {
        {K::Alphabetical, false, {}, 3, {3}, true},
        {K::Alphabetical, false, {3, 4}, 3, {4}, false},
        {K::Alphabetical, true, {}, 3, {3}, true},          // Ctrl means nothing in the flat tree
        {K::Hierarchical, false, {2}, 3, {2, 3}, true},
        {K::Hierarchical, true, {}, 3, {2, 3, 4}, true},     // on: the structure and its siblings
        {K::Hierarchical, true, {1, 2, 3, 4}, 2, {1}, false}, // off: the family goes, the parent stays
        {K::Hierarchical, true, {3}, 2, {2, 3, 4}, true},    // the clicked one decides
        {K::Hierarchical, true, {}, 1, {}, false},           // the root has no family
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tree " << static_cast<int>(c.tree) << " ctrl " << c.control
                                        << " clicked " << c.clicked);
        model.setShownStructures(setOf(c.before), false);
        EXPECT_EQ(toggleShownStructure(model, at(c.clicked), c.tree, c.control), c.select);
        EXPECT_EQ(model.shownStructures(), setOf(c.after));
    }
}

TEST_F(StructureCommandsTest, TheExpressionBoxFiltersTheSubtreeInTheHierarchyAndOneStructureElsewhere) {
    using K = StructureTreeKind;
    const struct {
        K tree;
        bool control;
        std::initializer_list<int> before;
        int clicked;
        std::initializer_list<int> after;
    } cases[] = {
        {K::Hierarchical, false, {}, 1, {1, 2, 3, 4}},
        {K::Hierarchical, false, {1, 2, 3, 4}, 1, {}},
        {K::Alphabetical, false, {}, 1, {1}},
        {K::Alphabetical, false, {1, 2}, 2, {1}},
        {K::Hierarchical, true, {}, 4, {2, 3, 4}},
        {K::Hierarchical, true, {1, 2, 3, 4}, 4, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tree " << static_cast<int>(c.tree) << " clicked " << c.clicked);
        model.setExpressionStructures(setOf(c.before), false);
        toggleExpressionStructure(model, at(c.clicked), c.tree, c.control);
        EXPECT_EQ(model.expressionStructures(), setOf(c.after));
    }
}

TEST_F(StructureCommandsTest, EnclosingStructureShowsTheParentOrTheCellsStructure) {
    // A highlighted structure: its parent is shown and highlighted.
    model.setShownStructures(setOf({3}), false);
    model.setHighlightedStructure(&at(3), false);
    {
        test::ModelRecorder recorder;
        model.addListener(&recorder);
        EXPECT_TRUE(showEnclosingStructure(model));
        EXPECT_EQ(model.shownStructures(), setOf({1, 3}));
        EXPECT_EQ(model.highlightedStructure(), &at(1));
        // Only the highlight is announced.
        ASSERT_EQ(recorder.events.size(), 1u);
        EXPECT_EQ(recorder.events[0].first, static_cast<int>(ModelEvent::HighlightedStructureChanged));
        model.removeListener(&recorder);
    }
    // Its parent already shown: nothing changes.
    model.setHighlightedStructure(&at(3), false);
    EXPECT_FALSE(showEnclosingStructure(model));
    EXPECT_EQ(model.highlightedStructure(), &at(3));

    // A selected cell wins over the highlight, and is deselected.
    auto gene = std::make_unique<GeneExpression>("Gene", "G");
    const GeneExpression* raw = gene.get();
    model.addGene(std::move(gene));
    ExpressionCell cell;
    cell.structure = &at(4);
    cell.x = 10;
    cell.y = 20;
    cell.z = 30;
    model.selectCell(raw, &cell, false);
    EXPECT_EQ(enclosingStructureOf(model), &at(4));
    EXPECT_EQ(selectionCentre(model), (std::array<float, 3>{10, 20, 30}));
    EXPECT_TRUE(showEnclosingStructure(model));
    EXPECT_EQ(model.selectedCell(), nullptr);
    EXPECT_EQ(model.highlightedStructure(), &at(4));
    EXPECT_TRUE(model.shownStructures().intersects(at(4).selfSet));

    // A cell outside every structure has nothing to enclose it.
    cell.structure = &at(0);
    model.selectCell(raw, &cell, false);
    EXPECT_EQ(enclosingStructureOf(model), nullptr);
    EXPECT_FALSE(showEnclosingStructure(model));
}

TEST_F(StructureCommandsTest, CentreIsTheShownHighlightedStructuresCentre) {
    model.setHighlightedStructure(&at(2), false);
    EXPECT_FALSE(selectionCentre(model).has_value());
    model.setShownStructures(setOf({2}), false);
    EXPECT_EQ(selectionCentre(model), (std::array<float, 3>{60, 20, 50}));
    model.setHighlightedStructure(nullptr, false);
    EXPECT_FALSE(selectionCentre(model).has_value());
}

TEST(GeneListTextTest, HeaderThenOneTabSeparatedLinePerGeneEachEndingInCrLf) {
    GeneExpression first("glutamate decarboxylase 1", "Gad1");
    first.setHeaderEntry(GeneExpression::kHeaderGeneId, 14415);
    first.setHeaderEntry(GeneExpression::kHeaderImageSeriesId, 79556706);
    GeneExpression second("Calbindin", "Calb1");
    const GeneExpression* genes[] = {&first, nullptr, &second};
    EXPECT_EQ(geneListCopyText(genes), "Symbol\tName\tEntrez ID\tImage Series ID\r\n"
                                       "Gad1\tglutamate decarboxylase 1\t14415\t79556706\r\n"
                                       "Calb1\tCalbindin\t0\t0\r\n");
    EXPECT_EQ(geneListCopyText({}), "Symbol\tName\tEntrez ID\tImage Series ID\r\n");
}

} // namespace
} // namespace volumira

namespace volumira {
namespace {

TEST(HelpCommandsTest, DocumentsAreFoundHereThenBesideTheProgramThenInItsShareDirectory) {
    test::TempDir dir;
    const std::string here = dir.path() + "/here/", bin = dir.path() + "/prefix/bin/";
    std::filesystem::create_directories(here + "Documentation");
    std::filesystem::create_directories(bin + "Documentation");
    std::filesystem::create_directories(dir.path() + "/prefix/share/volumira/Documentation");
    std::vector<std::string> opened;
    bool works = true;
    HelpCommands help(
        {here, bin, ""},
        [&](const std::string& target) {
            opened.push_back(target);
            return works;
        },
        "http://127.0.0.1:8338/");

    EXPECT_NE(help.openTutorial(), "");
    EXPECT_TRUE(opened.empty()) << "nothing to open";
    test::writeBytes(dir.path() + "/prefix/share/volumira/Documentation/Tutorial.pdf", "%PDF");
    EXPECT_EQ(help.openTutorial(), "");
    test::writeBytes(bin + "Documentation/Tutorial.pdf", "%PDF");
    EXPECT_EQ(help.openTutorial(), "");
    test::writeBytes(here + "Documentation/Tutorial.pdf", "%PDF");
    EXPECT_EQ(help.openTutorial(), "");
    EXPECT_EQ(opened, (std::vector<std::string>{bin + "../share/volumira/Documentation/Tutorial.pdf",
                                                bin + "Documentation/Tutorial.pdf",
                                                here + "Documentation/Tutorial.pdf"}));

    // Last, beside the Data folder in use: an uninstalled build run on the Data it generated.
    const std::string dataParent = dir.path() + "/out/";
    HelpCommands uninstalled(
        {here, dir.path() + "/build/src/app/", dataParent},
        [&](const std::string& target) {
            opened.push_back(target);
            return true;
        },
        "http://127.0.0.1:8338/");
    EXPECT_NE(uninstalled.openReleaseNotes(), "");
    std::filesystem::create_directories(dataParent + "Documentation");
    test::writeBytes(dataParent + "Documentation/Readme.txt", "Release notes");
    opened.clear();
    EXPECT_EQ(uninstalled.openReleaseNotes(), "");
    EXPECT_EQ(opened, std::vector<std::string>{dataParent + "Documentation/Readme.txt"});

    // A desktop that cannot open it is a failure too.
    works = false;
    EXPECT_NE(help.openTutorial(), "");
    EXPECT_EQ(help.openWebSite(), "Could not open the Tessaly Brain Atlas web site from Volumira. Please open "
                                  "your web browser and go to http://127.0.0.1:8338/.");
    EXPECT_EQ(aboutVersionText("1.4.3", 34), "Version 1.4.3 Build 34");
}

} // namespace
} // namespace volumira

#include "atlas/Structure.h"
#include "document/CommandTable.h"
#include "document/CommandTarget.h"
#include "expression/GeneExpression.h"
#include "expression/TestModel.h"
#include "expression/XprTestFiles.h"

#include <gtest/gtest.h>
#include <set>

namespace volumira {
namespace {

using I = CommandId;

TEST(CommandTableTest, EveryMenuAndToolBarEntryIsACommandOfTheTableOnce) {
    std::set<int> ids;
    for (const CommandRow& row : commandTable())
        EXPECT_TRUE(ids.insert(static_cast<int>(row.id)).second) << static_cast<int>(row.id) << " twice";
    std::set<int> inMenus;
    for (const MenuRow& menu : menuBar()) {
        int depth = 0;
        for (const MenuEntry& entry : menu.entries) {
            if (entry.kind == MenuEntryKind::SubmenuStart) ++depth;
            if (entry.kind == MenuEntryKind::SubmenuEnd) --depth;
            EXPECT_GE(depth, 0) << menu.title;
            if (entry.kind != MenuEntryKind::Command) continue;
            EXPECT_TRUE(ids.count(static_cast<int>(entry.command))) << static_cast<int>(entry.command);
            EXPECT_TRUE(inMenus.insert(static_cast<int>(entry.command)).second);
        }
        EXPECT_EQ(depth, 0) << menu.title;
    }
    for (const CommandId id : toolBar())
        if (id != CommandId{0}) {
            EXPECT_TRUE(inMenus.count(static_cast<int>(id))) << static_cast<int>(id);
        }
    // Commands without a menu entry are the search and the tab keys.
    for (const CommandRow& row : commandTable())
        if (!inMenus.count(static_cast<int>(row.id))) {
            EXPECT_TRUE(row.id == I::Search || row.id == I::NextTab || row.id == I::PreviousTab)
                << static_cast<int>(row.id);
        }
}

TEST(CommandTableTest, TextsSplitIntoLabelShortcutPromptAndToolTip) {
    const struct {
        CommandId id;
        const char *label, *shortcut, *prompt, *tip;
    } cases[] = {
        {I::OpenGene, "&Open Gene...", "Ctrl+O", "Open a gene file", "Open Gene"},
        {I::CloseGene, "&Close Gene", "Ctrl+Del", "Close gene file", "Close gene"},
        {I::CopyImage, "Copy &Image", "Ctrl+Shift+C", "Copy image to the clipboard", "Copy image"},
        {I::SagittalSections, "S&agittal Sections", "F1", "Sagittal atlas sections", "Sagittal atlas sections"},
        {I::CenterOnSelection, "&Center on Selection", "Ctrl+Space", "Center the view on the selection",
         "Center view on selection"},
        {I::ExpandedView, "&Expanded View", "", "Toggle ontology and gene list", "Toggle ontology and gene list"},
        {I::CompassBregma, "Show at &Bregma", "", "Show compass at bregma", "Compass at bregma"},
        {I::Exit, "E&xit", "", "Quit the application; prompts to save documents", "Exit"},
    };
    for (const auto& c : cases) {
        const CommandRow& row = commandRow(c.id);
        EXPECT_EQ(menuLabel(row), c.label);
        EXPECT_EQ(menuShortcut(row), c.shortcut);
        EXPECT_EQ(statusPrompt(row), c.prompt);
        EXPECT_EQ(toolTip(row), c.tip);
    }
    EXPECT_STREQ(commandRow(I::Undo).extraShortcut, "Alt+Backspace");
    EXPECT_STREQ(commandRow(I::Copy).extraShortcut, "Ctrl+Ins");
    EXPECT_THROW(commandRow(CommandId{12345}), std::invalid_argument);
}

TEST(CommandTableTest, ToolBarFollowsTheDescribedOrder) {
    const std::vector<CommandId> expected = {
        I::OpenGene,         I::CloseGene,       I::AnatomicSearch,     CommandId{0},      I::ToolRotate, I::ToolPan,
        I::ToolSelect,       CommandId{0},       I::SagittalSections,   I::CoronalSections, I::HorizontalSections,
        CommandId{0},        I::CenterOnSelection, CommandId{0},       I::ClippingPlanes, I::ExpandedView};
    EXPECT_EQ(std::vector<CommandId>(toolBar().begin(), toolBar().end()), expected);
}

class CommandRulesTest : public ::testing::Test {
  protected:
    CommandRulesTest() { context.model = &model; }
    CommandState state(CommandId id) const { return commandState(id, context); }

    test::SmallAtlas atlas;
    test::TestModel model;
    CommandContext context;
};

TEST_F(CommandRulesTest, DetailCommandsFollowTheDetailView) {
    const CommandId detailOnly[] = {I::ShowSearchableStructures, I::HideAllStructures, I::Transparent,
                                    I::ThresholdControls, I::ColoursJet, I::Reset, I::ClippingPlanes,
                                    I::ToolPan, I::CompassHide, I::ImageControls, I::CoronalSections};
    const CommandId alwaysOn[] = {I::OpenGene, I::CopyImage, I::ShowAllExpression, I::HideAllExpression,
                                  I::ToggleExpression, I::ExpandedView, I::Toolbar, I::StatusBar, I::Exit};
    for (const bool shown : {true, false}) {
        context.detailViewShown = shown;
        for (const CommandId id : detailOnly) EXPECT_EQ(state(id).enabled, shown) << static_cast<int>(id);
        for (const CommandId id : alwaysOn) EXPECT_TRUE(state(id).enabled) << static_cast<int>(id);
    }
}

TEST_F(CommandRulesTest, LaterCommandsAndTheEditStubsStayDisabled) {
    for (const CommandId id : {I::Undo, I::Cut, I::Paste})
        EXPECT_FALSE(state(id).enabled) << static_cast<int>(id);
}

TEST_F(CommandRulesTest, TabAndGeneSearchCommandsFollowTheStripAndTheSelection) {
    const struct {
        int tabs, selected, genes;
        bool similar;
        bool newTab, closeTab, findSimilar, getInfo;
    } cases[] = {
        {1, 0, 0, false, true, false, false, false},
        {4, 3, 1, false, true, true, false, true},
        {5, 2, 2, true, false, true, true, true},
        {6, 0, 1, true, false, false, true, true},
    };
    for (const auto& c : cases) {
        context.tabCount = c.tabs;
        context.selectedTab = c.selected;
        context.selectedGeneCount = c.genes;
        context.firstSelectedAllowsSimilar = c.similar;
        SCOPED_TRACE(testing::Message() << c.tabs << " tabs, " << c.selected << " selected");
        EXPECT_EQ(state(I::NewTab).enabled, c.newTab);
        EXPECT_EQ(state(I::CloseTab).enabled, c.closeTab);
        EXPECT_EQ(state(I::FindSimilar).enabled, c.findSimilar);
        EXPECT_EQ(state(I::GetInfo).enabled, c.getInfo);
        for (const CommandId id : {I::Search, I::AnatomicSearch, I::ImportGeneList, I::NextTab, I::PreviousTab})
            EXPECT_TRUE(state(id).enabled);
    }
}

TEST_F(CommandRulesTest, SectionCommandsAreOffWhileTheAtlasLoadsAndMarkTheirPlane) {
    model.setDisplayFlag(BrainExpressionModel::kFlagHorizontalSection, true, false);
    EXPECT_EQ(state(I::HorizontalSections), (CommandState{true, true}));
    EXPECT_EQ(state(I::CoronalSections), (CommandState{true, false}));
    EXPECT_EQ(state(I::SagittalSections), (CommandState{true, false}));
    context.atlasLoading = true;
    for (const CommandId id : {I::SagittalSections, I::CoronalSections, I::HorizontalSections})
        EXPECT_FALSE(state(id).enabled);
    EXPECT_TRUE(state(I::HorizontalSections).checked);
}

TEST_F(CommandRulesTest, RadioAndCheckMarksFollowTheModel) {
    model.setGeneColourMode(2, false);
    model.setToolMode(1);
    model.setCompassLocation(2, false);
    model.setMeshDisplayStyle(1, false);
    model.setThresholdControlsShown(true, false);
    const struct {
        CommandId id;
        bool checked;
    } cases[] = {{I::ColoursUserDefined, false}, {I::ColoursExpressionLevel, true}, {I::ColoursJet, false},
                 {I::ToolRotate, false},         {I::ToolPan, true},                {I::CompassCorner, false},
                 {I::CompassHide, true},         {I::Transparent, true},            {I::ThresholdControls, true},
                 {I::ClippingPlanes, false}};
    for (const auto& c : cases) EXPECT_EQ(state(c.id).checked, c.checked) << static_cast<int>(c.id);
}

TEST_F(CommandRulesTest, WindowMarksFollowTheWindow) {
    context.expanded = true;
    context.toolbarShown = false;
    context.imageControlsVisible = true;
    context.rememberedImageControls = false;
    EXPECT_FALSE(state(I::ExpandedView).checked) << "the mark shows the side panel";
    EXPECT_FALSE(state(I::Toolbar).checked);
    EXPECT_TRUE(state(I::StatusBar).checked);
    EXPECT_EQ(state(I::ImageControls), (CommandState{true, true}));
    // Off the scene the image controls show the state remembered when the scene was left.
    context.detailViewShown = false;
    context.rememberedImageControls = true;
    context.imageControlsVisible = false;
    EXPECT_EQ(state(I::ImageControls), (CommandState{false, true}));
}

TEST_F(CommandRulesTest, GeneListAndFocusDecideSaveCloseCopyAndSelectAll) {
    const struct {
        FocusArea focus;
        bool treeSelection;
        int rows, selected;
        bool save, copy, selectAll;
    } cases[] = {
        {FocusArea::Other, false, 0, 0, false, false, false},
        {FocusArea::Other, true, 2, 1, true, false, true},
        {FocusArea::GeneList, false, 2, 0, false, false, true},
        {FocusArea::GeneList, false, 2, 2, true, true, true},
        {FocusArea::StructureTree, false, 0, 0, false, false, false},
        {FocusArea::StructureTree, true, 1, 0, false, true, true},
        {FocusArea::SearchBox, true, 1, 1, true, false, true},
    };
    for (const auto& c : cases) {
        context.focus = c.focus;
        context.treeHasSelection = c.treeSelection;
        context.geneRowCount = c.rows;
        context.selectedGeneCount = c.selected;
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.focus) << " " << c.rows << "/" << c.selected);
        EXPECT_EQ(state(I::SaveGene).enabled, c.save);
        EXPECT_EQ(state(I::CloseGene).enabled, c.save);
        EXPECT_EQ(state(I::Copy).enabled, c.copy);
        EXPECT_EQ(state(I::SelectAll).enabled, c.selectAll);
    }
}

TEST_F(CommandRulesTest, EnclosingAndCentreNeedASelectionTheyCanUse) {
    const Ontology& ontology = atlas.ontology();
    const Structure& root = ontology.structureAt(1);
    const Structure& cortex = ontology.structureAt(2);
    EXPECT_FALSE(state(I::ShowEnclosingStructure).enabled);
    EXPECT_FALSE(state(I::CenterOnSelection).enabled);

    model.setHighlightedStructure(&root, false);
    EXPECT_FALSE(state(I::ShowEnclosingStructure).enabled) << "the root has no parent";
    model.setHighlightedStructure(&cortex, false);
    EXPECT_TRUE(state(I::ShowEnclosingStructure).enabled);
    EXPECT_FALSE(state(I::CenterOnSelection).enabled) << "the cortex is not shown";
    StructureSet shown;
    shown.unite(cortex.selfSet);
    model.setShownStructures(shown, false);
    EXPECT_TRUE(state(I::CenterOnSelection).enabled);
    context.detailViewShown = false;
    EXPECT_FALSE(state(I::CenterOnSelection).enabled);
    EXPECT_FALSE(state(I::ShowEnclosingStructure).enabled);
}

TEST_F(CommandRulesTest, FullResolutionImageNeedsAShownSectionAndLeavesTheCellImageMode) {
    EXPECT_FALSE(state(I::ShowFullResolutionImage).enabled) << "no section, no cell";
    for (const int flag : {BrainExpressionModel::kFlagCoronalSection, BrainExpressionModel::kFlagHorizontalSection,
                           BrainExpressionModel::kFlagSagittalSection}) {
        model.setDisplayFlag(flag, true, false);
        context.detailViewShown = true;
        EXPECT_TRUE(state(I::ShowFullResolutionImage).enabled) << flag;
        context.detailViewShown = false;
        EXPECT_FALSE(state(I::ShowFullResolutionImage).enabled) << flag;
        model.setDisplayFlag(flag, false, false);
    }
}

// Records what the commands asked of the window.
class RecordingTarget : public CommandTarget {
  public:
    RecordingTarget(BrainExpressionModel& model, const Ontology& ontology) : model_(model), ontology_(ontology) {}
    BrainExpressionModel& detailModel() override { return model_; }
    const Ontology& ontology() const override { return ontology_; }
    void openGene() override { calls.push_back("open"); }
    void saveGenes() override { calls.push_back("save"); }
    void closeGenes() override { calls.push_back("close"); }
    void exitProgram() override { calls.push_back("exit"); }
    void copy() override { calls.push_back("copy"); }
    void copyImage() override { calls.push_back("copyImage"); }
    void selectAllGenes() override { calls.push_back("selectAll"); }
    void toggleSection(int axis) override { calls.push_back("section" + std::to_string(axis)); }
    void showEnclosingStructure() override { calls.push_back("enclosing"); }
    void centerOnSelection() override { calls.push_back("centre"); }
    void showFullResolutionImage() override { calls.push_back("full resolution"); }
    void toggleImageControls() override { calls.push_back("imageControls"); }
    void toggleExpandedView() override { calls.push_back("expanded"); }
    void setToolMode(int mode) override { calls.push_back("tool" + std::to_string(mode)); }
    void toggleToolbar() override { calls.push_back("toolbar"); }
    void toggleStatusBar() override { calls.push_back("statusBar"); }
    void showOptions() override { calls.push_back("options"); }
    void openTutorial() override { calls.push_back("tutorial"); }
    void openReleaseNotes() override { calls.push_back("releaseNotes"); }
    void openBrainAtlasSite() override { calls.push_back("site"); }
    void showAbout() override { calls.push_back("about"); }
    void search() override { calls.push_back("search"); }
    void newTab() override { calls.push_back("newTab"); }
    void closeTab() override { calls.push_back("closeTab"); }
    void nextTab() override { calls.push_back("nextTab"); }
    void previousTab() override { calls.push_back("previousTab"); }
    void anatomicSearch() override { calls.push_back("anatomic"); }
    void importGeneList() override { calls.push_back("import"); }
    void findSimilar() override { calls.push_back("similar"); }
    void getInfo() override { calls.push_back("info"); }
    void newBookmark() override { calls.push_back("newBookmark"); }
    void newBookmarkGroup() override { calls.push_back("newGroup"); }
    void markForSnapback() override { calls.push_back("mark"); }
    void goBack() override { calls.push_back("goBack"); }
    std::vector<std::string> calls;

  private:
    BrainExpressionModel& model_;
    const Ontology& ontology_;
};

TEST_F(CommandRulesTest, HandlersActOnTheModelOrAskTheWindow) {
    RecordingTarget target(model, atlas.ontology());
    const auto run = [&](CommandId id) { commandRow(id).run(target); };
    const struct {
        CommandId id;
        const char* call;
    } windowCases[] = {{I::SagittalSections, "section2"}, {I::CoronalSections, "section0"},
                       {I::HorizontalSections, "section1"}, {I::ToolSelect, "tool2"}, {I::Copy, "copy"},
                       {I::SelectAll, "selectAll"}, {I::ExpandedView, "expanded"},
                       {I::Options, "options"}, {I::Tutorial, "tutorial"}, {I::About, "about"},
                       {I::Search, "search"}, {I::NewTab, "newTab"}, {I::CloseTab, "closeTab"},
                       {I::NextTab, "nextTab"}, {I::AnatomicSearch, "anatomic"}, {I::ImportGeneList, "import"},
                       {I::FindSimilar, "similar"}, {I::GetInfo, "info"}, {I::NewBookmark, "newBookmark"},
                       {I::NewGroup, "newGroup"}, {I::MarkForSnapback, "mark"}, {I::GoBack, "goBack"}};
    for (const auto& c : windowCases) {
        run(c.id);
        EXPECT_EQ(target.calls.back(), c.call);
    }

    // The plate is shown from the cell's own image mode too, which falls back to the coronal plate unannounced.
    model.setImagePanelMode(2, false);
    run(I::ShowFullResolutionImage);
    EXPECT_EQ(target.calls.back(), "full resolution");
    EXPECT_EQ(model.imagePanelMode(), 0);

    run(I::Transparent);
    EXPECT_EQ(model.meshDisplayStyle(), 1);
    run(I::Transparent);
    EXPECT_EQ(model.meshDisplayStyle(), 0);
    run(I::ColoursJet);
    EXPECT_EQ(model.geneColourMode(), 3);
    run(I::CompassBregma);
    EXPECT_EQ(model.compassLocation(), 1);
    run(I::ThresholdControls);
    EXPECT_TRUE(model.thresholdControlsShown());
    run(I::ClippingPlanes);
    EXPECT_TRUE(model.clippingPlanesShown());

    run(I::HideAllExpression);
    EXPECT_TRUE(model.expressionStructures().empty());
    StructureSet some;
    some.set(3);
    model.setExpressionStructures(some, false);
    run(I::ToggleExpression);
    EXPECT_FALSE(model.expressionStructures().contains(3));
    EXPECT_TRUE(model.expressionStructures().contains(2));
    EXPECT_TRUE(model.expressionStructures().contains(255));
    run(I::ShowAllExpression);
    EXPECT_EQ(model.expressionStructures(), StructureSet::full());

    run(I::HideAllStructures);
    EXPECT_TRUE(model.shownStructures().empty());
    run(I::ShowSearchableStructures);
    EXPECT_EQ(model.shownStructures(), atlas.ontology().searchableStructures());
}

} // namespace
} // namespace volumira

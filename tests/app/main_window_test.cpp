#include "app/AboutDialog.h"
#include "app/AnatomicSearchDialog.h"
#include "app/CDragDropTreeCtrl.h"
#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraView.h"
#include "app/CorrelationDomainDialog.h"
#include "app/FileChooser.h"
#include "app/GeneListWidget.h"
#include "app/PreferencesDialog.h"
#include "app/QtPrompt.h"
#include "RecordingPrompt.h"
#include "app/Prompt.h"
#include "render/BlankPage.h"
#include "app/StructureTree.h"
#include "app/ViewControls.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/Structure.h"
#include "document/CVolumiraDoc.h"
#include "document/CommandTable.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "expression/ModelRecorder.h"
#include "images/TiledImage.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GLRenderer.h"
#include "sample-data/SampleAtlas.h"
#include "scene/BrainSceneRenderer.h"
#include "scene/SceneImagePanel.h"
#include "scene/ScenePick.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"
#include "thumbnails/BrainThumbnailRenderer.h"
#include "volumira-server/DataServer.h"
#include "document/ResultTabs.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDropEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <sstream>
#include <thread>
#include <gtest/gtest.h>
#include <QOpenGLContext>
#include <dlfcn.h>

namespace {

// The textures and display lists the program's own code deletes, with the context current at each call.
// The program calls these GL entry points directly, so the definitions here take the calls and pass them
// on to the GL library.
struct GLDeletion {
    QOpenGLContext* context;
    GLsizei count;
};
std::vector<GLDeletion> textureDeletions, listDeletions;

template <typename Function> Function nextDefinition(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" void glDeleteTextures(GLsizei n, const GLuint* names) {
    textureDeletions.push_back({QOpenGLContext::currentContext(), n});
    static const auto next = nextDefinition<void (*)(GLsizei, const GLuint*)>("glDeleteTextures");
    next(n, names);
}

extern "C" void glDeleteLists(GLuint list, GLsizei range) {
    listDeletions.push_back({QOpenGLContext::currentContext(), range});
    static const auto next = nextDefinition<void (*)(GLuint, GLsizei)>("glDeleteLists");
    next(list, range);
}

namespace volumira {
namespace {

using I = CommandId;

// Runs the event loop until the condition holds; false when it still does not after the time given.
// (Qt's QTRY macros report to QTest, not to GoogleTest: a failure there would pass silently.)
template <typename Condition> bool eventually(Condition condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

using test::RecordingPrompt;

// Counts the tests that have ended, so that a script still waiting when its test failed stops instead of
// acting on a later test's window with the ended one's variables.
int endedTests = 0;

// Runs f on the active modal window once it is a T (and, when given, has this object name), from within
// the modal loop of the code under test. When none comes up it fails the test and closes whatever is
// modal, so that the test ends instead of waiting for a human.
template <typename T>
void whenModal(std::function<void(T&)> f, const char* name = nullptr, int triesLeft = 500, int test = endedTests) {
    QTimer::singleShot(20, [f, name, triesLeft, test] {
        if (test != endedTests) return;
        QWidget* modal = QApplication::activeModalWidget();
        auto* w = qobject_cast<T*>(modal);
        if (w && w->isVisible() && (!name || w->objectName() == name))
            f(*w);
        else if (triesLeft > 0)
            whenModal<T>(f, name, triesLeft - 1, test);
        else {
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " came up";
            if (modal) modal->close();
        }
    });
}

// Enter, as the user presses it on a box; a box that stays up fails the test and is closed.
void pressEnter(QMessageBox& box) {
    QTest::keyClick(&box, Qt::Key_Return);
    if (!box.isVisible()) return;
    ADD_FAILURE() << "Enter did not answer the box";
    box.reject();
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Notes the cursor the application shows while the gene is written.
class CursorRecordingGene : public GeneExpression {
  public:
    CursorRecordingGene(std::string name, std::string symbol) : GeneExpression(std::move(name), std::move(symbol)) {}
    void saveExpression(const std::string& path) const override {
        const QCursor* cursor = QApplication::overrideCursor();
        cursors.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
        GeneExpression::saveExpression(path);
    }
    mutable std::vector<Qt::CursorShape> cursors;
};

class ScriptedChooser : public FileChooser {
  public:
    std::optional<std::string> chooseOpenPath() override { return openPath; }
    std::optional<std::string> chooseGeneListPath() override { return geneListPath; }
    std::optional<std::string> geneListPath;
    std::optional<std::string> chooseSavePath(const GeneExpression& gene) override {
        offered.push_back(gene.symbol());
        return std::nullopt;
    }
    std::optional<std::string> openPath;
    std::vector<std::string> offered;
};

using test::BlankPage;

// The sample atlas, written once; the process-wide atlas and search configuration read it as the program
// does at start-up, with only the unpacking done.
class SampleData {
  public:
    static SampleData& get() {
        static SampleData data;
        return data;
    }
    std::string dataDir() const { return dir_.path() + "/Data/"; }
    std::string atlasDir() const { return dir_.path() + "/Atlas/"; }

  private:
    SampleData() {
        sample::writeSampleAtlas(dataDir(), sample::SampleGrid::full());
        std::filesystem::create_directories(atlasDir());
        ::setenv("VOLUMIRA_DATA_DIR", dataDir().c_str(), 1);
        ::setenv("VOLUMIRA_ATLAS_DIR", atlasDir().c_str(), 1);
        ::setenv("VOLUMIRA_USER_DIR", (dir_.path() + "/User/").c_str(), 1);
        ReferenceAtlas::instance().unpack(nullptr, nullptr, nullptr);
        SearchConfig::instance();
    }
    test::TempDir dir_;
};

class MainWindowTest : public ::testing::Test {
  protected:
    ~MainWindowTest() override { ++endedTests; }
    static void SetUpTestSuite() {
        CGLView::configureSurfaceFormat(formatPreferences());
        static int argc = 1;
        static char name[] = "main_window_tests";
        static char* argv[] = {name, nullptr};
        // Left to the end of the process: destroyed among the exit handlers it would outlive the style's
        // dialog resources it cleans up.
        static QApplication* application = new QApplication(argc, argv);
        (void)application;
        SampleData::get();
    }
    static UserPreferences& formatPreferences() {
        static MemorySettingsStore store;
        static UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        return preferences;
    }

    // A shown frame whose view is 1280 x 800, painted once.
    std::unique_ptr<CMainFrame> makeFrame(ReferenceAtlas& atlas) {
        auto frame = std::make_unique<CMainFrame>(document, atlas, preferences, prompt);
        frame->setFileChooser(&chooser);
        bool painted = false;
        const QMetaObject::Connection paints =
            QObject::connect(&frame->view().dataView(), &QOpenGLWidget::frameSwapped, [&painted] { painted = true; });
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        // Shortcuts reach the actions of the active window only.
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        const QSize outside = frame->size() - frame->view().size();
        frame->resize(outside + QSize(1280, 800));
        EXPECT_TRUE(QTest::qWaitFor([&] { return frame->view().size() == QSize(1280, 800); }));
        EXPECT_TRUE(QTest::qWaitFor([&] { return painted; }));
        QObject::disconnect(paints);
        QCoreApplication::processEvents();
        frame->updateCommands();
        return frame;
    }
    std::unique_ptr<CMainFrame> makeFrame() { return makeFrame(ReferenceAtlas::instance()); }

    CommandState stateOf(CMainFrame& frame, CommandId id) {
        frame.updateCommands();
        const QAction& a = frame.action(id);
        return {a.isEnabled(), a.isChecked()};
    }
    const Structure& structure(const char* acronym) {
        const Structure* s = ReferenceAtlas::instance().ontology().structureByAcronym(acronym);
        EXPECT_NE(s, nullptr) << acronym;
        return *s;
    }
    static QRect rowOf(StructureTree& tree, const Structure& s) {
        QTreeWidgetItem* item = tree.itemOf(&s);
        tree.scrollToItem(item);
        const QRect r = tree.visualItemRect(item);
        return QRect(0, r.top(), tree.viewport()->width(), r.height());
    }
    static void clickBox(StructureTree& tree, const Structure& s, bool shownBox, Qt::KeyboardModifiers modifiers = {}) {
        const QRect row = rowOf(tree, s);
        const QPoint at = (shownBox ? tree.shownBoxRect(row) : tree.expressionBoxRect(row)).center();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, modifiers, at);
    }
    void addGene(const char* symbol, int geneId = 0, int series = 0) {
        auto gene = std::make_unique<GeneExpression>(std::string(symbol) + " name", symbol);
        gene->setHeaderEntry(GeneExpression::kHeaderGeneId, geneId);
        gene->setHeaderEntry(GeneExpression::kHeaderImageSeriesId, series);
        document.detailModel().addGene(std::move(gene));
    }

    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    RecordingPrompt prompt;
    ScriptedChooser chooser;
    static const SearchConfig& processConfig() { return SearchConfig::instance(); }
    CVolumiraDoc document{preferences, store, processConfig};
};

TEST_F(MainWindowTest, TheFrameHasItsCaptionBarsMenusAndLimits) {
    auto frame = makeFrame();
    EXPECT_EQ(frame->windowTitle(), "Tessaly Brain Atlas - Volumira");
    EXPECT_EQ(frame->minimumSize(), QSize(1000, 640));
    QStringList menus;
    for (QAction* a : frame->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Atlas", "&Gene", "&View", "&Bookmarks", "&Help"}));
    QStringList tools;
    for (QAction* a : frame->toolBar().actions()) tools << (a->isSeparator() ? "|" : a->toolTip());
    EXPECT_EQ(tools, (QStringList{"Open Gene", "Close gene", "Search for genes by anatomic region", "|",
                                  "View rotation tool", "View panning tool", "Selection tool", "|",
                                  "Sagittal atlas sections", "Coronal atlas sections", "Horizontal atlas sections",
                                  "|", "Center view on selection", "|", "Adjust clipping planes",
                                  "Toggle ontology and gene list"}));
    for (QAction* a : frame->toolBar().actions()) EXPECT_TRUE(a->isSeparator() || !a->icon().isNull());
    EXPECT_EQ(frame->action(I::CenterOnSelection).shortcut(), QKeySequence("Ctrl+Space"));
    EXPECT_EQ(frame->action(I::Copy).shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}));
    EXPECT_EQ(frame->action(I::Transparent).statusTip(), "Draw brain structures as transparent");
    EXPECT_EQ(frame->statusText().text(), "Ready");
    EXPECT_FALSE(frame->progressBar().isVisible());
    EXPECT_TRUE(frame->searchBox().isVisible());
    EXPECT_EQ(frame->view().tabs().tabCount(), 1);
}

TEST_F(MainWindowTest, TheViewLaysOutItsWindowsToThePixel) {
    auto frame = makeFrame();
    CVolumiraView& view = frame->view();
    frame->action(I::ImageControls).trigger();
    ASSERT_TRUE(view.imageControlsVisible());
    EXPECT_EQ(view.dataView().geometry(), QRect(0, 0, 905, 735));
    EXPECT_EQ(view.zoomBar().geometry(), QRect(0, 735, 905, 25));
    EXPECT_EQ(view.blendingBar().geometry(), QRect(0, 760, 905, 40));
    EXPECT_EQ(view.geneList().geometry(), QRect(905, 680, 375, 120));
    const int t = view.sideTabs().height();
    const int d = view.header().height();
    EXPECT_EQ(view.sideTabs().geometry(), QRect(905, 680 - t, 375, t));
    EXPECT_EQ(view.header().geometry(), QRect(905, 0, 375, d));
    EXPECT_EQ(view.hierarchicalTree().geometry(), QRect(905, d - 1, 375, 800 - 120 - t - (d - 1)));
    EXPECT_TRUE(view.hierarchicalTree().isVisible());
    EXPECT_FALSE(view.alphabeticalTree().isVisible());
    // The zoom slider and its label sit at the right of the bar.
    const QSlider& zoom = view.zoomBar().slider();
    EXPECT_EQ(zoom.geometry(), QRect(905 - 205, 25 / 2 - 11, 200, 22));

    // The bookmarks tab shows its tree alone, over the header's place.
    view.sideTabs().setCurrentIndex(kBookmarksTab);
    EXPECT_EQ(view.bookmarksTree().geometry(), QRect(905, 0, 375, 680 - t));
    EXPECT_TRUE(view.bookmarksTree().isVisible());
    EXPECT_FALSE(view.header().isVisible());
    EXPECT_FALSE(view.hierarchicalTree().isVisible());

    frame->action(I::ExpandedView).trigger();
    EXPECT_EQ(view.dataView().geometry(), QRect(0, 0, 1280, 735));
    EXPECT_EQ(view.zoomBar().geometry(), QRect(0, 735, 1280, 25));
    for (QWidget* w : {static_cast<QWidget*>(&view.geneList()), static_cast<QWidget*>(&view.sideTabs()),
                       static_cast<QWidget*>(&view.bookmarksTree()), static_cast<QWidget*>(&view.header())})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_FALSE(stateOf(*frame, I::ExpandedView).checked);
    frame->action(I::ImageControls).trigger();
    EXPECT_EQ(view.dataView().geometry(), QRect(0, 0, 1280, 775));
    EXPECT_FALSE(view.blendingBar().isVisible());
}

TEST_F(MainWindowTest, ViewSettingsAreReadAtTheStartAndSavedAtTheEnd) {
    preferences.saveViewSettings({kAlphabeticalTab, false, true});
    {
        auto frame = makeFrame();
        EXPECT_EQ(frame->view().sideTab(), kAlphabeticalTab);
        EXPECT_TRUE(frame->view().alphabeticalTree().isVisible());
        EXPECT_TRUE(frame->view().blendingBar().isVisible());
        frame->view().sideTabs().setCurrentIndex(kBookmarksTab);
        frame->action(I::ExpandedView).trigger();
    }
    EXPECT_EQ(preferences.loadViewSettings(), (ViewSettings{kBookmarksTab, true, true}));
}

TEST_F(MainWindowTest, TreesListEveryStructureInTheirOrder) {
    auto frame = makeFrame();
    const Ontology& ontology = ReferenceAtlas::instance().ontology();
    StructureTree& hierarchy = frame->view().hierarchicalTree();
    ASSERT_EQ(hierarchy.topLevelItemCount(), 2);
    const Structure& root = ontology.root();
    EXPECT_EQ(hierarchy.topLevelItem(0)->text(0).toStdString(), root.name + " (" + root.acronym + ")");
    EXPECT_EQ(hierarchy.topLevelItem(1)->text(0), "No Annotation (NA)");
    EXPECT_TRUE(hierarchy.topLevelItem(0)->isExpanded());
    ASSERT_EQ(hierarchy.topLevelItem(0)->childCount(), static_cast<int>(root.children.size()));
    for (int i = 0; i < hierarchy.topLevelItem(0)->childCount(); ++i)
        EXPECT_EQ(StructureTree::structureOf(hierarchy.topLevelItem(0)->child(i)), root.children[i]);
    StructureTree& alphabet = frame->view().alphabeticalTree();
    ASSERT_EQ(alphabet.topLevelItemCount(), static_cast<int>(ontology.nameOrder().size()));
    for (int i = 0; i < alphabet.topLevelItemCount(); ++i)
        EXPECT_EQ(StructureTree::structureOf(alphabet.topLevelItem(i)), &ontology.structureAt(ontology.nameOrder()[i]));
    EXPECT_EQ(alphabet.topLevelItem(alphabet.topLevelItemCount() - 1)->text(0), "No Annotation (NA)");
    QStringList columns;
    for (int i = 0; i < 4; ++i) columns << frame->view().header().model()->headerData(i, Qt::Horizontal).toString();
    EXPECT_EQ(columns, (QStringList{"Structure", "", "A", "G"}));
}

TEST_F(MainWindowTest, CheckBoxClicksShowAndFilterStructuresByTree) {
    auto frame = makeFrame();
    BrainExpressionModel& model = document.detailModel();
    CVolumiraView& view = frame->view();
    StructureTree& hierarchy = view.hierarchicalTree();
    const Structure& child = *ReferenceAtlas::instance().ontology().root().children.at(0);
    ASSERT_FALSE(child.children.empty()) << "the sample's first division has parts";
    const Structure& part = *child.children.at(0);

    // A plain "A" click toggles the structure and selects its row.
    model.setShownStructures(StructureSet(), true);
    clickBox(hierarchy, part, true);
    EXPECT_TRUE(model.shownStructures().intersects(part.selfSet));
    EXPECT_EQ(hierarchy.selectedStructure(), &part);
    EXPECT_EQ(model.highlightedStructure(), &part);
    // With Ctrl, its siblings come and go with it.
    clickBox(hierarchy, part, true, Qt::ControlModifier);
    EXPECT_FALSE(model.shownStructures().intersects(child.childSet));
    clickBox(hierarchy, part, true, Qt::ControlModifier);
    for (const Structure* sibling : child.children) EXPECT_TRUE(model.shownStructures().intersects(sibling->selfSet));

    // "G" in the hierarchy filters the whole subtree, in the alphabetical tree the structure alone.
    model.setExpressionStructures(StructureSet(), true);
    clickBox(hierarchy, child, false);
    EXPECT_EQ(model.expressionStructures(), child.subtreeSet);
    clickBox(hierarchy, child, false);
    EXPECT_TRUE(model.expressionStructures().empty());
    view.sideTabs().setCurrentIndex(kAlphabeticalTab);
    StructureTree& alphabet = view.alphabeticalTree();
    clickBox(alphabet, child, false);
    EXPECT_EQ(model.expressionStructures(), child.selfSet);
    // Ctrl means nothing in the flat list: the structure alone goes.
    clickBox(alphabet, part, true, Qt::ControlModifier);
    EXPECT_FALSE(model.shownStructures().intersects(part.selfSet));
    EXPECT_TRUE(model.shownStructures().intersects(child.children.at(1)->selfSet));

    // Space toggles "A" of the selected row; "No Annotation" has no "A".
    alphabet.setFocus();
    const bool shownBefore = model.shownStructures().intersects(part.selfSet);
    alphabet.selectStructure(&part);
    QTest::keyClick(&alphabet, Qt::Key_Space);
    EXPECT_NE(model.shownStructures().intersects(part.selfSet), shownBefore);
    const StructureSet before = model.shownStructures();
    clickBox(alphabet, ReferenceAtlas::instance().ontology().structureAt(0), true);
    EXPECT_EQ(model.shownStructures(), before);

    // Off the scene the "A" boxes do nothing.
    BlankPage page;
    view.switchPage(&page);
    clickBox(alphabet, part, true);
    EXPECT_EQ(model.shownStructures(), before);
    view.switchPage(nullptr);
}

TEST_F(MainWindowTest, SwitchingToAResultPageHidesTheBlendingBarAndDisablesDetailCommands) {
    auto frame = makeFrame();
    CVolumiraView& view = frame->view();
    frame->action(I::ImageControls).trigger();
    EXPECT_EQ(stateOf(*frame, I::ImageControls), (CommandState{true, true}));
    BlankPage page;
    view.switchPage(&page);
    EXPECT_FALSE(view.detailViewShown());
    EXPECT_FALSE(view.blendingBar().isVisible());
    EXPECT_FALSE(view.zoomBar().isEnabled());
    EXPECT_EQ(stateOf(*frame, I::ImageControls), (CommandState{false, true}));
    for (const CommandId id : {I::Reset, I::Transparent, I::CoronalSections, I::ToolPan, I::ClippingPlanes})
        EXPECT_FALSE(stateOf(*frame, id).enabled) << static_cast<int>(id);
    EXPECT_TRUE(stateOf(*frame, I::ShowAllExpression).enabled);
    view.switchPage(nullptr);
    EXPECT_TRUE(view.blendingBar().isVisible());
    EXPECT_TRUE(stateOf(*frame, I::Reset).enabled);
}

TEST_F(MainWindowTest, MarksFollowTheModelThroughTheirActions) {
    auto frame = makeFrame();
    BrainExpressionModel& model = document.detailModel();
    frame->action(I::ColoursJet).trigger();
    EXPECT_EQ(model.geneColourMode(), 3);
    EXPECT_EQ(stateOf(*frame, I::ColoursJet), (CommandState{true, true}));
    EXPECT_FALSE(stateOf(*frame, I::ColoursUserDefined).checked);
    QTest::keyClick(frame.get(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(model.toolMode(), 1);
    EXPECT_TRUE(stateOf(*frame, I::ToolPan).checked);
    frame->action(I::CompassHide).trigger();
    EXPECT_EQ(model.compassLocation(), 2);
    frame->action(I::Transparent).trigger();
    EXPECT_EQ(stateOf(*frame, I::Transparent), (CommandState{true, true}));
    frame->action(I::Transparent).trigger();
    EXPECT_EQ(stateOf(*frame, I::Transparent), (CommandState{true, false}));
    QTest::keyClick(frame.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(model.clippingPlanesShown());
    EXPECT_TRUE(stateOf(*frame, I::ClippingPlanes).checked);
    frame->action(I::ThresholdControls).trigger();
    EXPECT_TRUE(model.thresholdControlsShown());
    frame->action(I::Toolbar).trigger();
    EXPECT_FALSE(frame->toolBar().isVisible());
    EXPECT_FALSE(stateOf(*frame, I::Toolbar).checked);
    frame->action(I::StatusBar).trigger();
    EXPECT_FALSE(stateOf(*frame, I::StatusBar).checked);
    for (const CommandId id : {I::CloseTab, I::FindSimilar, I::GetInfo, I::ShowFullResolutionImage, I::NewBookmark})
        EXPECT_FALSE(stateOf(*frame, id).enabled) << static_cast<int>(id);
}

TEST_F(MainWindowTest, TheGeneListFollowsTheModelAndItsSwatchAndBoxAct) {
    auto frame = makeFrame();
    BrainExpressionModel& model = document.detailModel();
    GeneListWidget& list = frame->view().geneList();
    EXPECT_FALSE(stateOf(*frame, I::SelectAll).enabled);
    addGene("Gad1");
    addGene("Calb1");
    addGene("Pvalb");
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(2)->text(), "Pvalb");
    EXPECT_EQ(list.selectedRows(), std::vector<int>{2});
    EXPECT_EQ(model.currentGene(), &model.geneAt(2));

    const QRect row1 = list.visualRect(list.model()->index(1, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visibilityBoxRect(row1).center());
    EXPECT_FALSE(model.geneAt(1).isVisible());
    list.setColourChooser([](const QColor& initial) -> std::optional<QColor> {
        EXPECT_TRUE(initial.isValid());
        return QColor(255, 0, 51);
    });
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.swatchRect(row1).center());
    EXPECT_EQ(model.geneAt(1).colour(), (std::array<float, 3>{1.0f, 0.0f, 0.2f}));
    EXPECT_EQ(list.selectedRows(), std::vector<int>{2}) << "the swatch and box do not select";

    // Selecting rows by hand moves the current gene; losing a row hands it to the first still selected.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_EQ(model.currentGene(), &model.geneAt(1));
    const QRect row0 = list.visualRect(list.model()->index(0, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, row0.center());
    EXPECT_EQ(model.currentGene(), &model.geneAt(0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, row0.center());
    EXPECT_EQ(model.currentGene(), &model.geneAt(1));
    EXPECT_TRUE(stateOf(*frame, I::SaveGene).enabled);
    EXPECT_TRUE(stateOf(*frame, I::SelectAll).enabled);

    // Selecting a cell in the scene selects its gene's row and makes that gene current.
    ExpressionCell cell;
    cell.gridId = 1;
    model.selectCell(&model.geneAt(0), &cell, true);
    EXPECT_EQ(list.selectedRows(), std::vector<int>{0});
    EXPECT_EQ(model.currentGene(), &model.geneAt(0));
    model.selectCell(nullptr, nullptr, true);
    EXPECT_EQ(list.selectedRows(), std::vector<int>{0}) << "no cell: the rows stay as they are";

    // Close Gene removes the selected rows.
    frame->action(I::SelectAll).trigger();
    EXPECT_EQ(list.selectedRows(), (std::vector<int>{0, 1, 2}));
    list.clearSelection();
    list.item(0)->setSelected(true);
    list.item(2)->setSelected(true);
    frame->action(I::CloseGene).trigger();
    ASSERT_EQ(model.geneCount(), 1);
    EXPECT_EQ(model.geneAt(0).symbol(), "Calb1");
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.item(0)->text(), "Calb1");
}

// The model settles what follows from a change itself (the current gene, a selected cell that stops
// being drawn), after the change: a listener registered after the scene and the view hears every cause
// before its consequence, and the rows follow without writing to the model.
TEST_F(MainWindowTest, ListenersHearEachChangeBeforeWhatFollowsFromIt) {
    auto frame = makeFrame();
    BrainExpressionModel& model = document.detailModel();
    GeneListWidget& list = frame->view().geneList();
    test::ModelRecorder later;
    model.addListener(&later);
    using test::ModelRecorder;
    using Events = std::vector<ModelRecorder::Event>;
    const auto current = ModelRecorder::of(ModelEvent::CurrentGeneChanged);
    const auto selection = ModelRecorder::of(ModelEvent::SelectionChanged);

    addGene("Gad1");
    addGene("Calb1");
    EXPECT_EQ(later.events, (Events{ModelRecorder::of(ModelEvent::GeneAdded, 0), current,
                                    ModelRecorder::of(ModelEvent::GeneAdded, 1), current}));
    EXPECT_EQ(list.selectedRows(), std::vector<int>{1});
    EXPECT_EQ(model.currentGene(), &model.geneAt(1));

    ExpressionCell cell;
    cell.gridId = 1;
    cell.structure = &structure("CTX");
    cell.level = 100.0f;
    cell.expressors = 10;
    cell.x = 60.0f;
    cell.y = 40.0f;
    cell.z = 50.0f;
    later.events.clear();
    model.selectCell(&model.geneAt(0), &cell, true);
    EXPECT_EQ(later.events, (Events{selection, current}));
    EXPECT_EQ(list.selectedRows(), std::vector<int>{0});
    EXPECT_FALSE(frame->view().scene().selectionText().empty());

    // A threshold above the cell's level: the scene hears it like everyone else and leaves the
    // selection to the model, which drops it once all have heard.
    later.events.clear();
    model.setLevelThreshold(200.0f, -1.0f, true);
    EXPECT_EQ(later.events, (Events{ModelRecorder::of(ModelEvent::ThresholdChanged), selection}));
    EXPECT_EQ(model.selectedCell(), nullptr);
    EXPECT_TRUE(frame->view().scene().selectionText().empty());
    EXPECT_EQ(model.currentGene(), &model.geneAt(0)) << "no cell: the current gene stays";
    model.removeListener(&later);
}

TEST_F(MainWindowTest, CopyPutsTheTreeItemOrTheGeneTableOnTheClipboard) {
    auto frame = makeFrame();
    CVolumiraView& view = frame->view();
    addGene("Gad1", 14415, 79556706);
    addGene("Calb1", 12307, 71717640);
    view.geneList().selectAll();
    view.geneList().setFocus();
    QCoreApplication::processEvents();
    QApplication::clipboard()->clear();
    QTest::keyClick(&view.geneList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Symbol\tName\tEntrez ID\tImage Series ID\r\n"
                                                 "Gad1\tGad1 name\t14415\t79556706\r\n"
                                                 "Calb1\tCalb1 name\t12307\t71717640\r\n");

    StructureTree& tree = view.hierarchicalTree();
    const Structure& root = ReferenceAtlas::instance().ontology().root();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rowOf(tree, root).topLeft() + QPoint(60, 4));
    ASSERT_EQ(tree.selectedStructure(), &root);
    EXPECT_EQ(document.detailModel().highlightedStructure(), &root);
    tree.setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), root.name + " (" + root.acronym + ")");

    // In the search box the edit keys are the box's own.
    frame->searchBox().setFocus();
    QCoreApplication::processEvents();
    QTest::keyClicks(&frame->searchBox(), "Gad");
    QTest::keyClick(&frame->searchBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&frame->searchBox(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Gad");
    QTest::keyClick(&frame->searchBox(), Qt::Key_Delete);
    EXPECT_EQ(frame->searchBox().text(), "");
    EXPECT_EQ(document.detailModel().geneCount(), 2);
    EXPECT_EQ(frame->searchBoxText(), "");
}

TEST_F(MainWindowTest, OpenGeneAddsTheFileAndListsItAmongTheRecentOnes) {
    auto frame = makeFrame();
    test::TempDir dir;
    GeneExpression("glutamate decarboxylase 1", "Gad1").saveExpression(dir.file("Gad1.xpr"));
    chooser.openPath = dir.file("Gad1.xpr");
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(document.detailModel().geneCount(), 1);
    EXPECT_EQ(frame->view().geneList().item(0)->text(), "Gad1");
    ASSERT_EQ(frame->recentFileActions().size(), 1);
    EXPECT_TRUE(frame->recentFileActions()[0]->text().endsWith("Gad1.xpr"));
    EXPECT_EQ(store.readText("Recent File List", "File1", ""), dir.file("Gad1.xpr"));
    frame->recentFileActions()[0]->trigger();
    EXPECT_EQ(document.detailModel().geneCount(), 1) << "the same path again does nothing";

    chooser.openPath = dir.file("missing.xpr");
    frame->action(I::OpenGene).trigger();
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_EQ(prompt.errors[0].rfind("Gene expression file " + dir.file("missing.xpr") + " could not be read.\n", 0), 0u);
    EXPECT_EQ(document.detailModel().geneCount(), 1);

    // Save offers one dialog per selected gene; the scripted cancel ends the command.
    addGene("Calb1");
    frame->view().geneList().selectAll();
    frame->action(I::SaveGene).trigger();
    EXPECT_EQ(chooser.offered, std::vector<std::string>{"Gad1"});
}

TEST_F(MainWindowTest, RecentFilesStandInTheFileMenuNumberedOneToTen) {
    auto frame = makeFrame();
    auto* fileMenu = frame->findChild<QMenu*>("FileMenu");
    ASSERT_NE(fileMenu, nullptr);
    const auto entries = [&] {
        QStringList texts;
        for (QAction* a : fileMenu->actions()) {
            EXPECT_EQ(a->menu(), nullptr) << "no submenu: " << a->text().toStdString();
            texts << (a->isSeparator() ? "|" : a->text());
        }
        return texts;
    };
    const QStringList head{"&New Tab", "&Open Gene...", "&Save Gene...", "&Close Gene", "Close &Tab", "|",
                           "&Anatomic Search...", "&Import Gene List...", "|"};
    EXPECT_EQ(entries(), (head + QStringList{"Recent File", "|", "E&xit"}));
    ASSERT_EQ(frame->recentFileActions().size(), 1);
    EXPECT_FALSE(frame->recentFileActions()[0]->isEnabled()) << "the placeholder of an empty list";

    // Ten files, in a folder whose name has an ampersand; the newest comes first.
    test::TempDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "R&D";
    std::filesystem::create_directories(folder);
    QStringList expected = head;
    for (int i = 0; i < 10; ++i) {
        const std::string path = (folder / ("g" + std::to_string(i) + ".xpr")).string();
        GeneExpression("gene " + std::to_string(i), "G" + std::to_string(i)).saveExpression(path);
        ASSERT_TRUE(frame->openGeneFile(path));
        const QString shown = QString::fromStdString(path).replace("&", "&&");
        expected.insert(head.size(), (i == 0 ? QString("1&0 ") : QString("&%1 ").arg(10 - i)) + shown);
    }
    EXPECT_EQ(entries(), (expected + QStringList{"|", "E&xit"}));

    // Chosen from the open menu, the tenth opens and moves to the top.
    QTest::mouseClick(frame->menuBar(), Qt::LeftButton, {},
                      frame->menuBar()->actionGeometry(fileMenu->menuAction()).center());
    ASSERT_TRUE(eventually([&] { return fileMenu->isVisible(); }));
    QAction* tenth = frame->recentFileActions().at(9);
    QTest::mouseClick(fileMenu, Qt::LeftButton, {}, fileMenu->actionGeometry(tenth).center());
    ASSERT_EQ(document.detailModel().geneCount(), 11);
    EXPECT_EQ(document.detailModel().geneAt(10).symbol(), "G0");
    EXPECT_TRUE(frame->recentFileActions()[0]->text().startsWith("&1 ") &&
                frame->recentFileActions()[0]->text().endsWith("g0.xpr"));
    EXPECT_TRUE(frame->recentFileActions()[9]->text().startsWith("1&0 ") &&
                frame->recentFileActions()[9]->text().endsWith("g1.xpr"));
    EXPECT_EQ(fileMenu->actions().size(), expected.size() + 2);
}

TEST_F(MainWindowTest, SaveGeneAsksAboutTheFileItWritesAndShowsTheWaitCursorWhileWriting) {
    auto frame = makeFrame();
    QtFileChooser dialogs(frame.get());
    frame->setFileChooser(&dialogs);
    test::TempDir dir;
    const std::string existing = dir.file("Gad1.xpr");
    std::ofstream(existing) << "old";
    auto owned = std::make_unique<CursorRecordingGene>("glutamate decarboxylase 1", "Gad1");
    const CursorRecordingGene& gene = *owned;
    document.detailModel().addGene(std::move(owned));
    frame->view().geneList().selectAll();
    QCoreApplication::processEvents();
    ASSERT_TRUE(frame->action(I::SaveGene).isEnabled());

    // The name typed without its extension; the question names the file with it.
    QStringList questions, offered;
    const auto typeName = [&](QMessageBox::StandardButton answer, bool cancelAfterwards) {
        whenModal<QFileDialog>(
            [&, answer, cancelAfterwards](QFileDialog& dialog) {
                EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no wait cursor over a dialog";
                auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
                ASSERT_NE(name, nullptr);
                offered << name->text();
                whenModal<QMessageBox>([&, answer, cancelAfterwards](QMessageBox& box) {
                    questions << box.text();
                    if (cancelAfterwards)
                        whenModal<QFileDialog>([](QFileDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
                                               "SaveGeneDialog");
                    QTest::mouseClick(box.button(answer), Qt::LeftButton);
                });
                name->setText(QString::fromStdString(dir.file("Gad1")));
                QTest::keyClick(name, Qt::Key_Return);
            },
            "SaveGeneDialog");
    };

    // No keeps the file and the dialog; cancelling it then ends the command.
    typeName(QMessageBox::No, true);
    frame->action(I::SaveGene).trigger();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("Gad1.xpr")) << questions[0].toStdString();
    EXPECT_EQ(offered, QStringList{QString::fromStdString(gene.suggestedFileName())});
    EXPECT_EQ(fileText(existing), "old");
    EXPECT_TRUE(gene.cursors.empty());

    // Yes replaces it, with the wait cursor up while it is written and gone afterwards.
    typeName(QMessageBox::Yes, false);
    frame->action(I::SaveGene).trigger();
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions[1].contains("Gad1.xpr"));
    EXPECT_EQ(gene.cursors, (std::vector<Qt::CursorShape>{Qt::WaitCursor}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_NE(fileText(existing), "old");
    EXPECT_EQ(GeneExpression(existing).symbol(), "Gad1");
    EXPECT_FALSE(std::filesystem::exists(dir.file("Gad1")));
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(MainWindowTest, ErrorBoxesShowTheExclamationMarkAndQuestionsPreselectNo) {
    const struct {
        PromptBox kind;
        const char* text;
        QMessageBox::Icon icon;
        const char* shown;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton preselected;
    } cases[] = {
        {PromptBox::Error, "Could not save gene file.\n<b>disk</b>", QMessageBox::Warning,
         "Could not save gene file.\n<b>disk</b>", QMessageBox::Ok, QMessageBox::Ok},
        {PromptBox::Error, "", QMessageBox::Warning, "An error occured while translating an application message.",
         QMessageBox::Ok, QMessageBox::Ok},
        {PromptBox::Question, "Import?", QMessageBox::Question, "Import?", QMessageBox::Yes | QMessageBox::No,
         QMessageBox::No},
        {PromptBox::Warning, "Slow?", QMessageBox::Warning, "Slow?", QMessageBox::Yes | QMessageBox::No,
         QMessageBox::No},
        {PromptBox::Information, "Note", QMessageBox::Information, "Note", QMessageBox::Ok, QMessageBox::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::unique_ptr<QMessageBox> box = makePromptBox(c.kind, nullptr, c.text);
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->text(), c.shown);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->standardButtons(), c.buttons);
        ASSERT_NE(box->button(c.preselected), nullptr);
        EXPECT_EQ(box->defaultButton(), box->button(c.preselected));
    }

    // The prompt shows those boxes: Enter on a question answers No.
    QtPrompt real;
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModal<QMessageBox>([&](QMessageBox& box) {
        shown = box.text();
        icon = box.icon();
        pressEnter(box);
    });
    real.error("");
    EXPECT_EQ(shown, "An error occured while translating an application message.");
    EXPECT_EQ(icon, QMessageBox::Warning);
    whenModal<QMessageBox>([](QMessageBox& box) { pressEnter(box); });
    EXPECT_FALSE(real.askQuestion("Replace the list?"));
    whenModal<QMessageBox>([](QMessageBox& box) { QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton); });
    EXPECT_TRUE(real.askQuestion("Replace the list?"));
}

TEST_F(MainWindowTest, WithoutAStoredPlacementTheWindowFitsTheScreenWhereTheSystemPutsIt) {
    const struct {
        QSize available, expected;
    } cases[] = {
        {{1920, 1040}, {1280, 800}}, // room for the preferred size
        {{1366, 728}, {1229, 655}},  // a small laptop: nine tenths of it
        {{1280, 1024}, {1152, 800}},
        {{1024, 600}, {1000, 640}}, // smaller than the smallest window: the smallest window
    };
    for (const auto& c : cases)
        EXPECT_EQ(CMainFrame::firstStartSize(c.available), c.expected) << c.available.width() << "x" << c.available.height();

    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    CMainFrame frame(document, ReferenceAtlas::instance(), preferences, prompt);
    EXPECT_EQ(frame.size(), CMainFrame::firstStartSize(work.size()));
    EXPECT_FALSE(frame.testAttribute(Qt::WA_Moved)) << "the position is the window system's";
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_TRUE(work.contains(frame.frameGeometry())) << "on a " << work.width() << "x" << work.height() << " screen";
}

TEST_F(MainWindowTest, SlidersSetTheModelWithoutEchoingItsEvents) {
    auto frame = makeFrame();
    BrainExpressionModel& model = document.detailModel();
    QSlider& zoom = frame->view().zoomBar().slider();
    EXPECT_EQ(zoom.minimum(), 15);
    EXPECT_EQ(zoom.maximum(), 250);
    EXPECT_EQ(zoom.value(), static_cast<int>(model.zoom()));
    zoom.setFocus();
    QTest::keyClick(&zoom, Qt::Key_End);
    EXPECT_EQ(model.zoom(), 250.0f);
    model.setZoom(100.0f, true);
    EXPECT_EQ(zoom.value(), 100);

    // A listener that answers a zoom with another zoom does not pull the slider back while it moves.
    struct Echo : BrainExpressionModelListener {
        void modelChanged(ModelEvent event, BrainExpressionModel& m, std::int32_t) override {
            if (event == ModelEvent::ZoomChanged && m.zoom() == 120.0f) m.setZoom(60.0f, true);
        }
    } echo;
    model.addListener(&echo);
    zoom.setValue(120);
    EXPECT_EQ(zoom.value(), 120);
    EXPECT_EQ(model.zoom(), 60.0f);
    model.removeListener(&echo);
    frame->action(I::Reset).trigger();
    EXPECT_EQ(zoom.value(), static_cast<int>(model.zoom()));

    frame->action(I::ImageControls).trigger();
    QSlider& blend = frame->view().blendingBar().slider();
    EXPECT_EQ(blend.maximum(), 100);
    EXPECT_EQ(blend.tickInterval(), 10);
    blend.setValue(30);
    EXPECT_FLOAT_EQ(model.imageAlpha(), 0.3f);
    model.setImageAlpha(0.75f, true);
    EXPECT_EQ(blend.value(), 75);
}

TEST_F(MainWindowTest, TheSideTabChangeSelectsTheHighlightedStructureInTheNewTree) {
    auto frame = makeFrame();
    CVolumiraView& view = frame->view();
    const Structure& s = *ReferenceAtlas::instance().ontology().root().children.at(1);
    document.detailModel().setHighlightedStructure(&s, true);
    EXPECT_EQ(view.hierarchicalTree().selectedStructure(), &s);
    EXPECT_EQ(view.alphabeticalTree().selectedStructure(), nullptr);
    QTest::mouseClick(&view.sideTabs(), Qt::LeftButton, {}, view.sideTabs().tabRect(kAlphabeticalTab).center());
    EXPECT_EQ(view.sideTab(), kAlphabeticalTab);
    EXPECT_EQ(view.alphabeticalTree().selectedStructure(), &s);
    EXPECT_EQ(view.currentStructureTree(), &view.alphabeticalTree());
}

TEST_F(MainWindowTest, EnclosingStructureAndCentringActOnTheHighlight) {
    auto frame = makeFrame();
    BrainExpressionModel& model = document.detailModel();
    const Structure& division = *ReferenceAtlas::instance().ontology().root().children.at(0);
    const Structure& part = *division.children.at(0);
    StructureSet shown;
    shown.unite(part.selfSet);
    model.setShownStructures(shown, true);
    EXPECT_FALSE(stateOf(*frame, I::ShowEnclosingStructure).enabled);
    model.setHighlightedStructure(&part, true);
    EXPECT_TRUE(stateOf(*frame, I::ShowEnclosingStructure).enabled);
    EXPECT_TRUE(stateOf(*frame, I::CenterOnSelection).enabled);
    const auto translation = model.translation();
    QTest::keyClick(frame.get(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(eventually([&] { return !frame->view().scene().isAnimating(); }));
    EXPECT_NE(model.translation(), translation);
    QTest::keyClick(frame.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(model.highlightedStructure(), &division);
    EXPECT_TRUE(model.shownStructures().intersects(division.selfSet));
    EXPECT_EQ(frame->view().hierarchicalTree().selectedStructure(), &division);
}

TEST_F(MainWindowTest, TheFirstSectionCommandLoadsTheAtlasOnAWorkerOnce) {
    ReferenceAtlas atlas(SampleData::get().dataDir(), SampleData::get().atlasDir());
    ASSERT_FALSE(atlas.isFullScaleLoaded());
    auto frame = makeFrame(atlas);
    BrainExpressionModel& model = document.detailModel();
    QTest::keyClick(frame.get(), Qt::Key_F2);
    ASSERT_TRUE(frame->sectionLoader().loading());
    EXPECT_EQ(frame->statusText().text(), "Loading atlas...");
    EXPECT_FALSE(stateOf(*frame, I::SagittalSections).enabled);
    EXPECT_FALSE(stateOf(*frame, I::CoronalSections).enabled);
    EXPECT_TRUE(eventually([&] { return frame->progressBar().isVisible(); }));
    ASSERT_TRUE(eventually([&] { return !frame->sectionLoader().loading(); }, 120000));
    EXPECT_TRUE(eventually([&] { return frame->statusText().text() == "Ready"; }));
    EXPECT_FALSE(frame->progressBar().isVisible());
    EXPECT_TRUE(model.displayFlag(0));
    EXPECT_EQ(stateOf(*frame, I::CoronalSections), (CommandState{true, true}));
    EXPECT_TRUE(stateOf(*frame, I::SagittalSections).enabled);
    EXPECT_TRUE(prompt.errors.empty());
    // Loaded: F1 turns the sagittal plane on at once.
    QTest::keyClick(frame.get(), Qt::Key_F1);
    EXPECT_FALSE(frame->sectionLoader().loading());
    EXPECT_TRUE(model.displayFlag(2));
}

TEST_F(MainWindowTest, AFailedAtlasLoadShowsItsMessageAndLeavesTheSectionsOff) {
    // A data directory with every file but the fine annotation.
    test::TempDir dir;
    const std::string data = dir.path() + "/Data/", shared = dir.path() + "/Atlas/";
    std::filesystem::create_directories(shared);
    std::filesystem::create_directories(data);
    for (const auto& entry : std::filesystem::directory_iterator(SampleData::get().dataDir()))
        if (entry.path().filename() != "Annotation25")
            std::filesystem::create_symlink(entry.path(), data + entry.path().filename().string());
    ReferenceAtlas atlas(data, shared);
    auto frame = makeFrame(atlas);
    frame->action(I::HorizontalSections).trigger();
    ASSERT_TRUE(eventually([&] { return !frame->sectionLoader().loading(); }, 60000));
    ASSERT_TRUE(eventually([&] { return prompt.errors.size() == 1; }));
    EXPECT_EQ(prompt.errors[0], "Could not load full scale 3D annotation image. Please try reinstalling Volumira.");
    EXPECT_FALSE(document.detailModel().displayFlag(1));
    EXPECT_EQ(frame->statusText().text(), "Ready");
    EXPECT_TRUE(stateOf(*frame, I::HorizontalSections).enabled);
}

TEST_F(MainWindowTest, ARightClickAfterAnOrdinaryPaintSelectsTheStructureAndItsTreeItem) {
    document.detailModel().showSearchableStructures(ReferenceAtlas::instance().ontology());
    auto frame = makeFrame();
    CGLView& view = frame->view().dataView();
    const QPoint centre(view.width() / 2, view.height() / 2);
    QTest::mouseClick(&view, Qt::RightButton, {}, centre);
    const Structure* picked = document.detailModel().highlightedStructure();
    ASSERT_NE(picked, nullptr);
    EXPECT_EQ(frame->view().hierarchicalTree().selectedStructure(), picked);
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(MainWindowTest, PreferencesDialogShowsTheSettingsAndAppliesThemInOrderOnOk) {
    const struct {
        int max;
        QStringList choices;
    } lists[] = {{0, {"Off"}}, {1, {"Off"}}, {4, {"Off", "2", "4"}}, {9, {"Off", "2", "4", "6", "8"}}};
    for (const auto& c : lists) EXPECT_EQ(PreferencesDialog::multisampleChoices(c.max), c.choices) << c.max;

    // Records the order in which the announcing setters run.
    struct Recorder : UserPreferencesListener {
        void preferencesChanged(int code) override { codes.push_back(code); }
        std::vector<int> codes;
    } recorder;
    preferences.setMaxMultisample(4);
    preferences.setMultisample(4);
    preferences.setBookmarkAnimationSpeed(2.0f);
    {
        PreferencesDialog dialog(preferences);
        EXPECT_EQ(dialog.multisampleList().currentText(), "4");
        EXPECT_EQ(dialog.animationSlider().value(), 8);
        EXPECT_TRUE(dialog.versionCheckBox().isChecked());
        EXPECT_TRUE(dialog.autoRotateBox().isChecked());
        dialog.autoRotateBox().setChecked(false);
        dialog.reject();
    }
    EXPECT_TRUE(preferences.autoRotateView()) << "Cancel changes nothing";

    preferences.addListener(&recorder);
    {
        PreferencesDialog dialog(preferences);
        dialog.verticalSyncBox().setChecked(false);
        dialog.fasterDrawingBox().setChecked(true);
        dialog.autoRotateBox().setChecked(false);
        dialog.versionCheckBox().setChecked(false);
        dialog.multisampleList().setCurrentIndex(1);
        dialog.animationSlider().setValue(10);
        dialog.accept();
    }
    preferences.removeListener(&recorder);
    EXPECT_EQ(recorder.codes, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(preferences.automaticVersionCheck());
    EXPECT_EQ(preferences.multisample(), 2);
    EXPECT_EQ(preferences.bookmarkAnimationSeconds(), 0.0f);
    EXPECT_EQ(store.readInteger(kSettingsSection, "BookmarkAnimationSpeed", -1), 0);
    {
        PreferencesDialog dialog(preferences);
        dialog.animationSlider().setValue(0);
        dialog.accept();
    }
    EXPECT_EQ(store.readInteger(kSettingsSection, "BookmarkAnimationSpeed", -1), 10000);
}

TEST_F(MainWindowTest, AboutAndHelpCommandsShowTheirTextsAndFailures) {
    EXPECT_EQ(AboutDialog("1.4.3", 34).versionText(), "Version 1.4.3 Build 34");
    auto frame = makeFrame();
    EXPECT_EQ(AboutDialog(preferences.version(), preferences.build()).versionText().toStdString(),
              "Version " + preferences.version() + " Build " + std::to_string(preferences.build()));
    // The About box is modal: close it from the event loop once it shows.
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    frame->action(I::About).trigger();

    std::vector<std::string> opened;
    bool works = false;
    frame->setDesktopOpener([&](const std::string& target) {
        opened.push_back(target);
        return works;
    });
    frame->action(I::Tutorial).trigger();
    frame->action(I::ReleaseNotes).trigger();
    frame->action(I::BrainAtlasSite).trigger();
    ASSERT_EQ(prompt.errors.size(), 3u);
    EXPECT_EQ(prompt.errors[0].rfind("The tutorial could not be opened. Please check the directory where this "
                                     "application is installed for the Tutorial file.\n\n", 0),
              0u);
    EXPECT_EQ(prompt.errors[1], "The release notes could not be opened. Please check the directory where this "
                                "application is installed for the Readme file");
    EXPECT_EQ(prompt.errors[2], "Could not open the Tessaly Brain Atlas web site from Volumira. Please open your "
                                "web browser and go to " + preferences.serverUrl() + "/.");
    EXPECT_EQ(opened, std::vector<std::string>{preferences.serverUrl() + "/"}) << "no document was there to open";

    // A document in the directory the program started in is found and handed to the desktop.
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("Documentation"));
    test::writeBytes(dir.file("Documentation/Readme.txt"), "notes");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CMainFrame started(document, ReferenceAtlas::instance(), preferences, prompt);
    std::filesystem::current_path(before);
    started.setDesktopOpener([&](const std::string& target) {
        opened.push_back(target);
        return true;
    });
    started.action(I::ReleaseNotes).trigger();
    EXPECT_EQ(opened.back(), dir.path() + "/Documentation/Readme.txt");
    EXPECT_EQ(prompt.errors.size(), 3u);

    // A web site named in the settings is what the menu command opens, whatever the data server.
    store.writeText(kSettingsSection, "BrainAtlasWebSite", "https://atlas.example.org/start");
    UserPreferences configured(store, PreferencesEnvironment::ofProcess());
    CMainFrame elsewhere(document, ReferenceAtlas::instance(), configured, prompt);
    elsewhere.setDesktopOpener([&](const std::string& target) {
        opened.push_back(target);
        return true;
    });
    elsewhere.action(I::BrainAtlasSite).trigger();
    EXPECT_EQ(opened.back(), "https://atlas.example.org/start");
    EXPECT_EQ(prompt.errors.size(), 3u);
}

TEST_F(MainWindowTest, PlacementAndBarsAreSavedOnCloseAndRestoredAtTheNextStart) {
    {
        auto frame = makeFrame();
        frame->setGeometry(40, 50, 1100, 700);
        QCoreApplication::processEvents();
        frame->action(I::Toolbar).trigger();
        frame->action(I::StatusBar).trigger();
        frame->close();
    }
    EXPECT_EQ(store.readInteger(kSettingsSection, "Main Window Status", -1), CMainFrame::kShowNormal);
    const int left = store.readInteger(kSettingsSection, "Main Window Left", -1);
    const int right = store.readInteger(kSettingsSection, "Main Window Right", -1);
    EXPECT_EQ(right - left, 1100);
    {
        CMainFrame frame(document, ReferenceAtlas::instance(), preferences, prompt);
        EXPECT_EQ(frame.geometry().size(), QSize(1100, 700));
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        EXPECT_FALSE(frame.toolBar().isVisible());
        EXPECT_FALSE(frame.statusBar()->isVisible());
        frame.setWindowState(Qt::WindowMaximized);
        frame.close();
    }
    EXPECT_EQ(store.readInteger(kSettingsSection, "Main Window Status", -1), CMainFrame::kShowMaximized);
    EXPECT_EQ(store.readInteger(kSettingsSection, "Main Window Right", -1) - store.readInteger(kSettingsSection, "Main Window Left", -1), 1100)
        << "the restored rectangle is kept";
    CMainFrame frame(document, ReferenceAtlas::instance(), preferences, prompt);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_TRUE(frame.windowState() & Qt::WindowMaximized);
}

TEST_F(MainWindowTest, TheSimilarGenesDialogListsTheDomainsAndRemembersTheChoiceForTheRun) {
    const SearchConfig& config = SearchConfig::instance();
    std::vector<const Structure*> domains;
    std::vector<int> indents;
    for (int i = 0; i < config.similarDomainCount(); ++i)
        if (config.similarDomain(i)) {
            domains.push_back(config.similarDomain(i));
            indents.push_back(config.similarIndent(i));
        }
    ASSERT_GE(domains.size(), 2u) << "the sample configuration offers domains";
    {
        CorrelationDomainDialog dialog(config);
        QListWidget& list = dialog.domainList();
        ASSERT_EQ(list.count(), static_cast<int>(domains.size()));
        for (int i = 0; i < list.count(); ++i)
            EXPECT_EQ(list.item(i)->text().toStdString(),
                      std::string(3 * indents[i], ' ') + domains[i]->name + " (" + domains[i]->acronym + ")");
        EXPECT_EQ(list.currentRow(), 0);
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("Coronal")->isChecked());
        list.setCurrentRow(1);
        dialog.findChild<QRadioButton*>("Both")->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>("Find"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.structureId(), domains[1]->id);
        EXPECT_EQ(dialog.planes(), CorrelationDomainDialog::kBoth);
    }
    CorrelationDomainDialog again(config);
    EXPECT_EQ(again.domainList().currentRow(), 1);
    EXPECT_TRUE(again.findChild<QRadioButton*>("Both")->isChecked());
    again.findChild<QRadioButton*>("Sagittal")->setChecked(true);
    // A double click on an entry finds at once.
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    const QRect first = again.domainList().visualItemRect(again.domainList().item(0));
    // A user's double click: a click, then the second press that the system reports as a double click.
    QTest::mouseClick(again.domainList().viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(again.domainList().viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(again.structureId(), domains[0]->id);
    EXPECT_EQ(again.planes(), CorrelationDomainDialog::kSagittal);
}

TEST_F(MainWindowTest, TheAnatomicSearchDialogBuildsTheQueryFromItsRows) {
    const SearchConfig& config = SearchConfig::instance();
    std::vector<std::pair<std::string, std::string>> found;
    AnatomicSearchDialog dialog([&]() -> const SearchConfig& { return config; }, prompt,
                                [&](const std::string& query, const std::string& caption) {
        found.emplace_back(query, caption);
    });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "Anatomic Search");
    ASSERT_GE(config.anatomicDomainCount(), 3);
    // Without a region, and then without a filter, the row errors show and nothing is sent.
    QTest::mouseClick(&dialog.findButton(), Qt::LeftButton);
    dialog.list(0, 0).setCurrentIndex(0);
    QTest::mouseClick(&dialog.findButton(), Qt::LeftButton);
    EXPECT_EQ(prompt.errors, (std::vector<std::string>{
                                 "Anatomic region must be specified.",
                                 "At least one expression level, coverage, or pattern filter must be chosen for each row."}));
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(dialog.isVisible()) << "errors leave the dialog open";

    const auto acronym = [&](int i) { return config.anatomicDomain(i)->acronym; };
    dialog.list(0, 1).setCurrentIndex(2);
    QTest::mouseClick(&dialog.addRowButton(), Qt::LeftButton);
    QTest::mouseClick(&dialog.addRowButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.visibleRows(), 3);
    EXPECT_FALSE(dialog.addRowButton().isEnabled());
    dialog.joinOperator(1).setCurrentIndex(1);
    dialog.list(1, 0).setCurrentIndex(1);
    dialog.list(1, 3).setCurrentIndex(2);
    dialog.list(2, 0).setCurrentIndex(2);
    dialog.list(2, 2).setCurrentIndex(1);
    QTest::mouseClick(&dialog.findButton(), Qt::LeftButton);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, "structac=" + acronym(0) + "[xlevel=2] or structac=" + acronym(1) +
                                  "[xpattern=2] and structac=" + acronym(2) + "[xdensity=1]");
    EXPECT_EQ(found[0].second, acronym(0) + " or " + acronym(1) + " and " + acronym(2));

    // Deleting row 2 moves row 3 up.
    QTest::mouseClick(&dialog.deleteButton(1), Qt::LeftButton);
    EXPECT_EQ(dialog.visibleRows(), 2);
    EXPECT_EQ(dialog.list(1, 0).currentIndex(), 2);
    EXPECT_EQ(dialog.list(1, 2).currentIndex(), 1);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Close"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MainWindowTest, GetInfoOpensEachSeriesPageHalfASecondApartAndThePopUpOffersTheGeneCommands) {
    auto frame = makeFrame();
    addGene("Gad1", 14415, 101);
    addGene("Calb1", 12307, 0);
    addGene("Pvalb", 19293, 303);
    std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> opened;
    frame->setDesktopOpener([&](const std::string& target) {
        opened.emplace_back(target, std::chrono::steady_clock::now());
        return true;
    });
    GeneListWidget& list = frame->view().geneList();

    // The pop-up on a row: its entries, Find Similar off for a gene without an image series.
    std::vector<std::pair<QString, bool>> entries;
    QTimer::singleShot(100, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions()) entries.emplace_back(a->isSeparator() ? "|" : a->text(), a->isEnabled());
            menu->close();
        }
    });
    const QRect row1 = list.visualRect(list.model()->index(1, 0));
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, row1.center());
    EXPECT_EQ(list.selectedRows(), std::vector<int>{1});
    const std::vector<std::pair<QString, bool>> expected = {
        {"&Get Info", true}, {"&Copy Info", true}, {"&Find Similar", false}, {"|", true}, {"C&lose", true},
        {"&Save...", true}};
    EXPECT_EQ(entries, expected);

    list.selectAll();
    frame->action(I::GetInfo).trigger();
    ASSERT_TRUE(eventually([&] { return opened.size() == 3; }, 5000));
    const std::string info = preferences.seriesInfoUrl();
    EXPECT_EQ(opened[0].first, info + "101");
    EXPECT_EQ(opened[1].first, info + "0");
    EXPECT_EQ(opened[2].first, info + "303");
    for (int i = 1; i < 3; ++i)
        EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(opened[i].second - opened[i - 1].second).count(),
                  CMainFrame::kInfoPageIntervalMs - 5);
    // The gene without an image series cannot be compared: the command says so.
    list.clearSelection();
    list.item(1)->setSelected(true);
    frame->findSimilar();
    ASSERT_FALSE(prompt.errors.empty());
    EXPECT_EQ(prompt.errors.back(), "Not enough information to find similar genes. The image series ID is missing.");
}

TEST_F(MainWindowTest, NewTabStopsAtFiveTabsAndTheTabKeysCycle) {
    auto frame = makeFrame();
    TabControlRenderer& strip = frame->view().tabs();
    for (int i = 0; i < 6; ++i) frame->action(I::NewTab).trigger();
    EXPECT_EQ(strip.tabCount(), 5) << "New Tab is off with five tabs";
    EXPECT_FALSE(stateOf(*frame, I::NewTab).enabled);
    EXPECT_EQ(strip.selectedIndex(), 4);
    EXPECT_FALSE(frame->view().detailViewShown());
    QTest::keyClick(frame.get(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(strip.selectedIndex(), 0);
    EXPECT_TRUE(frame->view().detailViewShown());
    QTest::keyClick(frame.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(strip.selectedIndex(), 4);
    QTest::keyClick(frame.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(strip.tabCount(), 4);
    EXPECT_TRUE(stateOf(*frame, I::NewTab).enabled);
    strip.selectTab(0);
    EXPECT_FALSE(stateOf(*frame, I::CloseTab).enabled);
}

TEST_F(MainWindowTest, LeavingTheDetailViewLeavesNoDragInIt) {
    document.detailModel().showSearchableStructures(ReferenceAtlas::instance().ontology());
    auto frame = makeFrame();
    CVolumiraView& view = frame->view();
    CGLView& data = view.dataView();
    TabControlRenderer& strip = view.tabs();
    const QPoint centre(data.width() / 2, data.height() / 2);
    BrainExpressionModel& model = document.detailModel();
    const std::function<void()> tabKey = [&] { QTest::keyClick(frame.get(), Qt::Key_Tab, Qt::ControlModifier); };
    const std::function<void()> closeKey = [&] { QTest::keyClick(frame.get(), Qt::Key_W, Qt::ControlModifier); };
    // Back in the Detail View, the pointer passes over the scene with no button down: the brain stays as
    // it was, and the next click reaches the scene (a right click selects the structure there).
    const auto expectNoDragLeft = [&](const char* how) {
        ASSERT_TRUE(view.detailViewShown()) << how;
        const std::array<float, 4> before = model.rotation();
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(&data, centre + QPoint(30 * step, 15 * step));
        EXPECT_EQ(model.rotation(), before) << how;
        model.setHighlightedStructure(nullptr, true);
        QTest::mouseClick(&data, Qt::RightButton, {}, centre);
        EXPECT_NE(model.highlightedStructure(), nullptr) << how;
        if (strip.tabCount() > 1) {
            strip.selectTab(1);
            frame->updateCommands();
            frame->action(I::CloseTab).trigger();
        }
        ASSERT_EQ(strip.tabCount(), 1);
    };
    const auto openResultTabBehindTheScene = [&] {
        frame->action(I::NewTab).trigger();
        ASSERT_EQ(strip.tabCount(), 2);
        strip.selectTab(0);
        ASSERT_TRUE(view.detailViewShown());
    };

    // A left click on the result tab's title in the strip over the scene shows the result page; back by the
    // tab key, or by closing the result tab.
    const struct {
        const char* how;
        const std::function<void()>& back;
    } ways[] = {{"strip click, tab key back", tabKey}, {"strip click, result tab closed", closeKey}};
    for (const auto& way : ways) {
        openResultTabBehindTheScene();
        QTest::mouseClick(&data, Qt::LeftButton, {}, QPoint(strip.tabRight(1) - 20, 10));
        ASSERT_EQ(strip.selectedIndex(), 1);
        ASSERT_FALSE(view.detailViewShown());
        way.back();
        expectNoDragLeft(way.how);
    }
    // A rotation drag under way when the tab key shows the result page, released there.
    openResultTabBehindTheScene();
    QTest::mousePress(&data, Qt::LeftButton, {}, centre);
    QTest::mouseMove(&data, centre + QPoint(10, 0));
    tabKey();
    ASSERT_FALSE(view.detailViewShown());
    QTest::mouseRelease(&data, Qt::LeftButton, {}, centre + QPoint(10, 0));
    tabKey();
    expectNoDragLeft("drag, tab key away and back");
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(MainWindowTest, ClosingTheWindowFreesTheScenesTexturesAndListsInTheViewsContext) {
    document.detailModel().showSearchableStructures(ReferenceAtlas::instance().ontology());
    auto frame = makeFrame();
    frame->action(I::NewTab).trigger();
    frame->view().tabs().selectTab(0);
    QOpenGLContext* const context = frame->view().dataView().context();
    ASSERT_NE(context, nullptr);
    textureDeletions.clear();
    listDeletions.clear();
    frame.reset();
    // The tab titles and the scene's text boxes are textures; the structure surfaces display lists.
    ASSERT_FALSE(textureDeletions.empty());
    ASSERT_FALSE(listDeletions.empty());
    for (const auto* deletions : {&textureDeletions, &listDeletions})
        for (const GLDeletion& d : *deletions)
            EXPECT_EQ(d.context, context) << d.count << " names deleted without the view's context";
}

TEST_F(MainWindowTest, DroppedFilesOpenLikeOpenGene) {
    auto frame = makeFrame();
    test::TempDir dir;
    GeneExpression("calbindin 1", "Calb1").saveExpression(dir.file("Calb1.xpr"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("Calb1.xpr")))});
    const QPoint at = frame->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame.get(), &drop);
    ASSERT_EQ(document.detailModel().geneCount(), 1);
    EXPECT_EQ(document.detailModel().geneAt(0).symbol(), "Calb1");
}

} // namespace
} // namespace volumira

namespace volumira {
namespace {

// The main window against the project's own data server on loopback, as a user searches with it.
class SearchWindowTest : public MainWindowTest {
  protected:
    static void SetUpTestSuite() {
        MainWindowTest::SetUpTestSuite();
        server_ = new server::DataServer(SampleData::get().dataDir());
        port_ = server_->bind("127.0.0.1", 0);
        serving_ = new std::thread([] { server_->serve(); });
        for (int i = 0; i < 1000 && !server_->isRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    static void TearDownTestSuite() {
        stopServer();
        delete server_;
        server_ = nullptr;
    }
    static void stopServer() {
        if (!serving_) return;
        server_->stop();
        serving_->join();
        delete serving_;
        serving_ = nullptr;
    }

    // Settings naming the test's server, as the preferences read them when they are made.
    static MemorySettingsStore storeNamingServer() {
        MemorySettingsStore store;
        store.writeText(kSettingsSection, "HostName", "http://127.0.0.1:" + std::to_string(port_));
        return store;
    }

    // The result tab selected now, with its list and page.
    BrainDocTab* selectedTab(CMainFrame& frame) {
        TabControlRenderer& strip = frame.view().tabs();
        return frame.view().resultTabs().tabAt(strip.selectedIndex());
    }
    static BrainThumbnailRenderer& pageOf(BrainDocTab& tab) { return dynamic_cast<BrainThumbnailRenderer&>(*tab.page); }
    static std::vector<std::string> symbols(const PagedGeneList& list) {
        std::vector<std::string> result;
        for (int i = 0; i < list.size(); ++i)
            if (const GeneExpression* g = list.result(i)) result.push_back(g->symbol());
        return result;
    }
    // A click on a point of the page given in its own coordinates (y upwards).
    static void clickPage(CMainFrame& frame, int x, int yUp) {
        CGLView& view = frame.view().dataView();
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(x, view.height() - yUp));
    }
    bool waitForTab(CMainFrame& frame, const std::string& title) {
        return QTest::qWaitFor([&] {
            BrainDocTab* tab = selectedTab(frame);
            return tab && tab->list->title() == title && tab->list->size() > 0 && tab->list->result(0);
        }, 20000);
    }

    static inline server::DataServer* server_ = nullptr;
    static inline std::thread* serving_ = nullptr;
    static inline int port_ = 0;
    MemorySettingsStore searchStore = storeNamingServer();
    UserPreferences searchPreferences{searchStore, PreferencesEnvironment::ofProcess()};
    CVolumiraDoc searchDocument{searchPreferences, searchStore, processConfig};
};

TEST_F(SearchWindowTest, FindPreviewDownloadAndFollowUpWithoutLeavingTheWindow) {
    ASSERT_NE(searchPreferences.serverUrl(), kDefaultServerUrl);
    CMainFrame frame(searchDocument, ReferenceAtlas::instance(), searchPreferences, prompt);
    frame.setFileChooser(&chooser);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));

    // Typing "Gad" and Enter: a tab titled "Gad" with Gad1 and Gad2 and their thumbnails.
    frame.searchBox().setFocus();
    QTest::keyClicks(&frame.searchBox(), "Gad");
    QTest::keyClick(&frame.searchBox(), Qt::Key_Return);
    ASSERT_TRUE(waitForTab(frame, "Gad"));
    BrainDocTab& gad = *selectedTab(frame);
    ASSERT_TRUE(eventually([&] { return symbols(*gad.list).size() == static_cast<std::size_t>(gad.list->size()); }, 20000));
    const std::vector<std::string> found = symbols(*gad.list);
    ASSERT_GE(found.size(), 2u);
    EXPECT_EQ(found[0], "Gad1");
    EXPECT_EQ(found[1], "Gad2");
    EXPECT_FALSE(frame.view().detailViewShown());
    BrainThumbnailRenderer& page = pageOf(gad);
    ASSERT_TRUE(eventually(
        [&] { return page.thumbnailPage().slot(0).hasThumbnail() && page.thumbnailPage().slot(1).hasThumbnail(); },
        20000));

    // "Download" on Gad1: its row in the gene list and its gene in the model.
    clickPage(frame, page.slot(0).downloadX() + 12, page.slot(0).downloadY() + 8);
    ASSERT_TRUE(eventually([&] { return searchDocument.detailModel().geneCount() == 1; }, 20000));
    EXPECT_EQ(searchDocument.detailModel().geneAt(0).symbol(), "Gad1");
    EXPECT_GT(searchDocument.detailModel().geneAt(0).cells().size(), 0u);
    EXPECT_EQ(frame.view().geneList().item(0)->text(), "Gad1");

    // The first icon: every image series of Gad1 in a follow-up tab.
    clickPage(frame, page.slot(0).iconX(0) + 8, page.slot(0).iconY() + 8);
    ASSERT_TRUE(waitForTab(frame, "Gad1 (all)"));
    EXPECT_EQ(selectedTab(frame)->kind, TabKind::FollowUp);

    // Find Similar on the downloaded gene: the domain dialog answers with its first entry.
    frame.view().geneList().setCurrentRow(0);
    frame.updateCommands();
    if (frame.action(I::FindSimilar).isEnabled()) {
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->accept();
        });
        frame.action(I::FindSimilar).trigger();
        const Structure* domain = nullptr;
        for (int i = 0; i < SearchConfig::instance().similarDomainCount() && !domain; ++i)
            domain = SearchConfig::instance().similarDomain(i);
        ASSERT_NE(domain, nullptr);
        EXPECT_TRUE(waitForTab(frame, "Gad1 (" + domain->acronym + ")"));
    } else {
        ADD_FAILURE() << "the downloaded Gad1 allows no similar-gene search";
    }

    // The anatomic search, from its dialog: Isocortex with a high level.
    frame.action(I::AnatomicSearch).trigger();
    AnatomicSearchDialog* anatomic = frame.anatomicSearchDialog();
    ASSERT_NE(anatomic, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(anatomic));
    const SearchConfig& config = SearchConfig::instance();
    int isocortex = -1;
    for (int i = 0; i < config.anatomicDomainCount(); ++i)
        if (config.anatomicDomain(i) && config.anatomicDomain(i)->acronym == "Isocortex") isocortex = i;
    ASSERT_GE(isocortex, 0);
    anatomic->list(0, 0).setCurrentIndex(isocortex);
    anatomic->list(0, 1).setCurrentIndex(2);
    QTest::mouseClick(&anatomic->findButton(), Qt::LeftButton);
    EXPECT_TRUE(waitForTab(frame, "Isocortex"));

    // A gene list file into the results tab.
    test::TempDir dir;
    test::writeBytes(dir.file("Mine.csv"), "symbol,experiment\r\nCalb1,2001\r\nPvalb,2002\r\n");
    chooser.geneListPath = dir.file("Mine.csv");
    frame.action(I::ImportGeneList).trigger();
    ASSERT_EQ(selectedTab(frame)->list->title(), "Mine.csv");
    EXPECT_EQ(symbols(*selectedTab(frame)->list), (std::vector<std::string>{"Calb1", "Pvalb"}));
    EXPECT_TRUE(prompt.errors.empty()) << prompt.errors.front();
}

TEST_F(SearchWindowTest, AClickedCellShowsItsSectionImageAndF4TheAtlasPlateThere) {
    test::TempDir dir;
    httplib::Client client("127.0.0.1", port_);
    const auto grid = client.Get("/GridFile?imageseriesid=100000&level=2");
    ASSERT_TRUE(grid && grid->status == 200);
    test::writeBytes(dir.file("Gad1.xpr"), grid->body);
    BrainExpressionModel& model = searchDocument.detailModel();
    model.setShownStructures(StructureSet(), false);
    CMainFrame frame(searchDocument, ReferenceAtlas::instance(), searchPreferences, prompt);
    frame.setFileChooser(&chooser);
    chooser.openPath = dir.file("Gad1.xpr");
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    frame.action(I::OpenGene).trigger();
    ASSERT_EQ(model.geneCount(), 1);
    ASSERT_EQ(model.imagePanelMode(), 2) << "a cell shows its own section image";

    // Somewhere in the middle of the view a cell of the gene is drawn; only its place is looked up here.
    CGLView& view = frame.view().dataView();
    BrainSceneRenderer& scene = frame.view().scene();
    QPoint onCell;
    for (int step = 0; step < 400 && onCell.isNull(); ++step) {
        const QPoint p(view.width() / 2 + (step % 20 - 10) * 12, view.height() / 2 + (step / 20 - 10) * 12);
        const GLDisplay::ContextGrab grab(view);
        if (scene.pickName(p.x(), p.y()) >= pickname::kCellBase) onCell = p;
    }
    ASSERT_FALSE(onCell.isNull()) << "no cell of the gene was found in the view";

    // The right button selects with the rotate tool: the cell's section image appears in the corner.
    QTest::mouseClick(&view, Qt::RightButton, {}, onCell);
    ASSERT_NE(model.selectedCell(), nullptr);
    ASSERT_TRUE(scene.imageShown());
    TiledImage& image = *scene.imagePanel()->image();
    ASSERT_TRUE(eventually([&] { return image.isSettled(); }, 20000));
    EXPECT_EQ(image.counts().failed, 0);
    EXPECT_GT(image.counts().fetched, 1);
    EXPECT_FALSE(image.record().secondPath.empty()) << "the expression image over the section";
    const SectionImage* section = model.selectedCellGene()->sectionImage(model.selectedCell()->section);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(image.record().path, section->primaryPath);

    // What the screen shows there, once the view has drawn again: the image in the panel, a cyan border,
    // the white navigator beside it.
    bool painted = false;
    const QMetaObject::Connection paints =
        QObject::connect(&view, &QOpenGLWidget::frameSwapped, [&painted] { painted = true; });
    view.requestRedraw();
    ASSERT_TRUE(eventually([&] { return painted; }));
    QObject::disconnect(paints);
    QCoreApplication::processEvents();
    const QPoint origin = view.mapToGlobal(QPoint(0, 0));
    const QImage shown =
        view.screen()->grabWindow(0, origin.x(), origin.y(), view.width(), view.height()).toImage();
    const int h = shown.height();
    EXPECT_EQ(shown.pixelColor(0, h - 128), QColor(0, 255, 255)) << "the panel's left border";
    EXPECT_EQ(shown.pixelColor(256 + TiledImage::kNavigatorGap + 2, h - 256 + 2), QColor(255, 255, 255));
    EXPECT_NE(shown.pixelColor(128, h - 128), QColor(0, 0, 0));

    // F4: the coronal atlas plate at the cell.
    QTest::keyClick(&frame, Qt::Key_F4);
    EXPECT_EQ(model.imagePanelMode(), 0);
    ASSERT_TRUE(eventually([&] { return image.isSettled(); }, 20000));
    EXPECT_EQ(image.record().path.rfind("production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-", 0), 0u)
        << image.record().path;
    EXPECT_EQ(image.counts().failed, 0);

    // The bar's hide icon, at its left end above the panel, hides the image.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(8, h - SceneImagePanel::kPanelSize - 10));
    EXPECT_FALSE(scene.imageShown());
    EXPECT_TRUE(prompt.errors.empty()) << prompt.errors.front();
}

TEST_F(SearchWindowTest, WithTheServerStoppedTheTabShowsTheErrorAndNothingHangs) {
    stopServer();
    CMainFrame frame(searchDocument, ReferenceAtlas::instance(), searchPreferences, prompt);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.searchBox().setText("Calb");
    QTest::mouseClick(frame.findChild<QPushButton*>("SearchButton"), Qt::LeftButton);
    BrainDocTab* tab = selectedTab(frame);
    ASSERT_NE(tab, nullptr);
    EXPECT_TRUE(eventually([&] { return tab->list->statusText().rfind("Error: ", 0) == 0; }, 20000))
        << tab->list->statusText();
    EXPECT_EQ(tab->list->size(), 0);
}

} // namespace
} // namespace volumira

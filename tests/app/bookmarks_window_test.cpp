#include "app/BookmarkItem.h"
#include "app/BookmarksPanel.h"
#include "app/CDragDropTreeCtrl.h"
#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraView.h"
#include "app/EditBookmarkDialog.h"
#include "RecordingPrompt.h"
#include "atlas/ReferenceAtlas.h"
#include "bookmarks/BookmarksFile.h"
#include "document/CVolumiraDoc.h"
#include "document/CommandTable.h"
#include "expression/BrainExpressionModel.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "sample-data/SampleAtlas.h"
#include "scene/BrainSceneRenderer.h"
#include "search/SearchConfig.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace volumira {
namespace {

using I = CommandId;
using test::RecordingPrompt;

// Runs the event loop until the condition holds; false when it still does not after the time given.
// (Qt's QTRY macros report to QTest, not to GoogleTest: a failure there would pass silently.)
template <typename Condition> bool eventually(Condition condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

// Runs f on the widget that find returns once it is up, while a modal loop of the code under test runs.
void whenUp(std::function<QWidget*()> find, std::function<void(QWidget&)> f, int triesLeft = 100) {
    QTimer::singleShot(20, [find, f, triesLeft] {
        if (QWidget* w = find())
            f(*w);
        else if (triesLeft > 0)
            whenUp(find, f, triesLeft - 1);
    });
}

void whenDialog(std::function<void(EditBookmarkDialog&)> f) {
    whenUp([] { return dynamic_cast<EditBookmarkDialog*>(QApplication::activeModalWidget()); },
           [f](QWidget& w) { f(static_cast<EditBookmarkDialog&>(w)); });
}

void chooseFromMenu(const QString& entry) {
    whenUp([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
           [entry](QWidget& w) {
               auto& menu = static_cast<QMenu&>(w);
               for (QAction* a : menu.actions())
                   if (a->text() == entry) menu.setActiveAction(a);
               QTest::keyClick(&menu, Qt::Key_Return);
           });
}

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

// A tree with nested groups, one collapsed, and bookmarks that differ by their zoom.
const char* const kSmallTree = R"(<?xml version="1.0" encoding="utf-8"?>
<Bookmarks>
    <BookmarkGroup name="A" expanded="true">
        <Bookmark name="a1"><Zoom>41</Zoom></Bookmark>
        <Bookmark name="a2"><Zoom>42</Zoom></Bookmark>
        <BookmarkGroup name="A3">
            <Bookmark name="a31"><Zoom>43</Zoom></Bookmark>
        </BookmarkGroup>
    </BookmarkGroup>
    <Bookmark name="b"><Zoom>50</Zoom></Bookmark>
    <BookmarkGroup name="C" expanded="true">
        <Bookmark name="c1"><Zoom>60</Zoom></Bookmark>
    </BookmarkGroup>
</Bookmarks>
)";

class BookmarksWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CGLView::configureSurfaceFormat(formatPreferences());
        static int argc = 1;
        static char name[] = "bookmarks_window_tests";
        static char* argv[] = {name, nullptr};
        // Left to the end of the process, as the main window tests do.
        static QApplication* application = new QApplication(argc, argv);
        (void)application;
        SampleData::get();
    }
    static UserPreferences& formatPreferences() {
        static MemorySettingsStore store;
        static UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        return preferences;
    }
    void SetUp() override {
        for (const char* name : {"Bookmarks.xml", "Bookmarks.bak", "Bookmarks.new"})
            std::filesystem::remove(userDirectory() + name);
        preferences.saveViewSettings({kBookmarksTab, false, false});
    }
    std::string file(const char* name) const { return userDirectory() + name; }
    void writeFile(const char* name, const std::string& text) const { std::ofstream(file(name)) << text; }
    std::string readFile(const char* name) const {
        std::ifstream in(file(name));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // A shown frame whose view is 1280 x 800, painted once, on the bookmarks tab.
    std::unique_ptr<CMainFrame> makeFrame() {
        auto frame = std::make_unique<CMainFrame>(document, ReferenceAtlas::instance(), preferences, prompt);
        bool painted = false;
        const QMetaObject::Connection paints =
            QObject::connect(&frame->view().dataView(), &QOpenGLWidget::frameSwapped, [&painted] { painted = true; });
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
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

    static CDragDropTreeCtrl& treeOf(CMainFrame& frame) { return frame.view().bookmarksTree(); }
    static QTreeWidgetItem* item(CMainFrame& frame, const char* text) {
        const QList<QTreeWidgetItem*> found =
            treeOf(frame).findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << text;
        return found.value(0);
    }
    static const Bookmark* bookmarkOf(QTreeWidgetItem* item) {
        const BookmarkItem* b = asBookmarkItem(item);
        return b ? b->bookmark() : nullptr;
    }
    // The tree as text: groups with "+" when expanded and "-" when not, children in brackets.
    static std::string shape(const QTreeWidgetItem* item) {
        std::string s = item->text(0).toStdString();
        const BookmarkItem* b = asBookmarkItem(item);
        if (b && b->isGroup()) {
            s += item->isExpanded() ? "+[" : "-[";
            for (int i = 0; i < item->childCount(); ++i)
                s += (i ? "," : "") + shape(item->child(i));
            s += "]";
        }
        return s;
    }
    static std::string shape(CDragDropTreeCtrl& tree) {
        std::string s;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            s += (i ? "," : "") + shape(tree.topLevelItem(i));
        return s;
    }
    // The same for a tree read from a file.
    static std::string shape(const BookmarkNode& node) {
        std::string s = node.name;
        if (node.isGroup()) {
            s += node.expanded ? "+[" : "-[";
            for (std::size_t i = 0; i < node.children.size(); ++i)
                s += (i ? "," : "") + shape(*node.children[i]);
            s += "]";
        }
        return s;
    }
    // The tree "Bookmarks.xml" holds now, read as the next start reads it.
    static std::string savedShape() {
        const BookmarkTree tree = BookmarksFile(userDirectory(), ReferenceAtlas::instance().ontology()).load();
        std::string s;
        for (std::size_t i = 0; i < tree.root.children.size(); ++i)
            s += (i ? "," : "") + shape(*tree.root.children[i]);
        return s;
    }
    static void click(CDragDropTreeCtrl& tree, QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers = {}) {
        tree.scrollToItem(item);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, modifiers, tree.labelRect(item).center());
    }
    // A click on the button left of an item that expands or collapses it.
    static void clickExpander(CDragDropTreeCtrl& tree, QTreeWidgetItem* item) {
        const QRect row = tree.visualItemRect(item);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          QPoint(row.left() - tree.indentation() / 2, row.center().y()));
    }
    static void rightClick(CDragDropTreeCtrl& tree, QTreeWidgetItem* item) {
        tree.scrollToItem(item);
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, tree.labelRect(item).center());
    }
    // Drags an item with the mouse to a point and drops it there; over is called while the pointer rests
    // on the point.
    static void drag(CDragDropTreeCtrl& tree, QTreeWidgetItem* item, QPoint to, std::function<void()> over = {}) {
        QWidget* viewport = tree.viewport();
        const QPoint from = tree.labelRect(item).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(0, QApplication::startDragDistance() + 2));
        QTest::mouseMove(viewport, to);
        if (over) over();
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    }
    static bool near(const std::array<float, 4>& a, const std::array<float, 4>& b) {
        for (int i = 0; i < 4; ++i)
            if (std::fabs(a[i] - b[i]) > 1e-4f) return false;
        return true;
    }
    // The editor of the label being edited, or null.
    static QLineEdit* labelEditor(CDragDropTreeCtrl& tree) {
        if (!tree.editingLabel()) return nullptr;
        return qobject_cast<QLineEdit*>(tree.indexWidget(tree.currentIndex()));
    }
    // A shortcut of the frame, typed while it is the active window (a closed dialog may have left none
    // active, as the private X server has no window manager to hand activation back).
    static void shortcut(CMainFrame& frame, Qt::Key key) {
        frame.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, key, Qt::ControlModifier);
    }
    // Opens New Bookmark with the keyboard, names the bookmark and saves it.
    void newBookmark(CMainFrame& frame, const QString& name) {
        whenDialog([name](EditBookmarkDialog& dialog) {
            QTest::keyClicks(&dialog.nameEdit(), name);
            QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
        });
        shortcut(frame, Qt::Key_D);
    }

    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    RecordingPrompt prompt;
    static const SearchConfig& processConfig() { return SearchConfig::instance(); }
    CVolumiraDoc document{preferences, store, processConfig};
};

TEST_F(BookmarksWindowTest, TheTreeStartsWithTheDefaultsAndIsNotWrittenUnchanged) {
    {
        auto frame = makeFrame();
        CDragDropTreeCtrl& tree = treeOf(*frame);
        EXPECT_TRUE(tree.isVisible());
        EXPECT_EQ(shape(tree), "Views+[Coronal - Caudal to Rostral,Coronal - Rostral to Caudal,"
                               "Horizontal - Dorsal to Ventral,Horizontal - Ventral to Dorsal,"
                               "Sagittal - Left to Right,Sagittal - Right to Left],"
                               "Atlas Structures+[Searchable,None]");
        EXPECT_EQ(tree.topLevelItem(0)->icon(0).cacheKey(), bookmarkGroupIcon().cacheKey());
        EXPECT_EQ(tree.topLevelItem(0)->child(0)->icon(0).cacheKey(), bookmarkIcon().cacheKey());
        EXPECT_EQ(bookmarkOf(item(*frame, "Sagittal - Right to Left"))->rotation,
                  (std::array<float, 4>{0, 1, 0, 0}));
        EXPECT_EQ(bookmarkOf(item(*frame, "Views")), nullptr);
        EXPECT_FALSE(frame->view().bookmarks().modified());
    }
    EXPECT_FALSE(std::filesystem::exists(file("Bookmarks.xml")));
}

TEST_F(BookmarksWindowTest, NewBookmarksGoAfterTheSelectedBookmarkIntoTheSelectedGroupOrAtTheEnd) {
    auto frame = makeFrame();
    CDragDropTreeCtrl& tree = treeOf(*frame);
    BrainExpressionModel& model = document.detailModel();
    // The commands that add to the tree need the tree in sight.
    EXPECT_TRUE(frame->action(I::NewBookmark).isEnabled());
    QTabBar& sideTabs = frame->view().sideTabs();
    QTest::mouseClick(&sideTabs, Qt::LeftButton, {}, sideTabs.tabRect(kHierarchicalTab).center());
    frame->updateCommands();
    EXPECT_FALSE(frame->action(I::NewBookmark).isEnabled());
    EXPECT_FALSE(frame->action(I::NewGroup).isEnabled());
    QTest::mouseClick(&sideTabs, Qt::LeftButton, {}, sideTabs.tabRect(kBookmarksTab).center());
    frame->updateCommands();
    EXPECT_TRUE(frame->action(I::NewGroup).isEnabled());

    click(tree, item(*frame, "Coronal - Rostral to Caudal"), Qt::ControlModifier);
    model.setZoom(77.0f, true);
    newBookmark(*frame, "After");
    click(tree, item(*frame, "Atlas Structures"));
    newBookmark(*frame, "Inside");
    // A click below every item clears the selection.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(100, tree.viewport()->height() - 30));
    EXPECT_TRUE(tree.selectedItems().isEmpty());
    newBookmark(*frame, "Last");
    EXPECT_EQ(shape(tree), "Views+[Coronal - Caudal to Rostral,Coronal - Rostral to Caudal,After,"
                           "Horizontal - Dorsal to Ventral,Horizontal - Ventral to Dorsal,"
                           "Sagittal - Left to Right,Sagittal - Right to Left],"
                           "Atlas Structures+[Searchable,None,Inside],Last");
    EXPECT_EQ(tree.currentItem(), item(*frame, "Last"));
    EXPECT_TRUE(tree.currentItem()->isSelected());
    const Bookmark* after = bookmarkOf(item(*frame, "After"));
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->name(), "After");
    EXPECT_EQ(after->zoom, 77.0f);
    EXPECT_EQ(after->settings & 0x7F, 0x7F);
    EXPECT_EQ(item(*frame, "Inside")->icon(0).cacheKey(), bookmarkIcon().cacheKey());
    EXPECT_TRUE(frame->view().bookmarks().modified());
    EXPECT_TRUE(prompt.errors.empty());

    // New Group: the same placement, then its label is edited at once.
    click(tree, item(*frame, "Searchable"), Qt::ControlModifier);
    frame->action(I::NewGroup).trigger();
    QLineEdit* editor = labelEditor(tree);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "New Group");
    editor->selectAll();
    QTest::keyClicks(editor, "Trips");
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over once the key has been handled.
    EXPECT_TRUE(eventually([&] { return !tree.editingLabel(); }));
    EXPECT_EQ(shape(item(*frame, "Atlas Structures")), "Atlas Structures+[Searchable,Trips+[],None,Inside]");
}

TEST_F(BookmarksWindowTest, TheDialogInsistsOnASettingAndANameAndOffTheSceneOffersOnlyTheFilter) {
    auto frame = makeFrame();
    CDragDropTreeCtrl& tree = treeOf(*frame);
    bool stayedOpen = false;
    whenDialog([&](EditBookmarkDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Bookmark");
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            EXPECT_TRUE(box->isChecked() && box->isEnabled()) << box->text().toStdString();
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        }
        QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
        EXPECT_EQ(prompt.errors, std::vector<std::string>{"Please select at least 1 setting to bookmark."});
        QTest::mouseClick(&dialog.box(Bookmark::ViewZoom), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
        ASSERT_EQ(prompt.errors.size(), 2u);
        EXPECT_EQ(prompt.errors[1], "Please enter a name for the bookmark.");
        stayedOpen = dialog.isVisible();
        QTest::keyClicks(&dialog.nameEdit(), "Zoom only");
        QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
    });
    shortcut(*frame, Qt::Key_D);
    EXPECT_TRUE(stayedOpen);
    const Bookmark* zoomOnly = bookmarkOf(item(*frame, "Zoom only"));
    ASSERT_NE(zoomOnly, nullptr);
    EXPECT_EQ(zoomOnly->settings, Bookmark::ViewZoom);

    // A result page shows: the dialog offers the filter alone, and what it reports is not remembered.
    shortcut(*frame, Qt::Key_T);
    ASSERT_FALSE(frame->view().detailViewShown());
    whenDialog([&](EditBookmarkDialog& dialog) {
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            EXPECT_FALSE(box->isEnabled()) << box->text().toStdString();
            EXPECT_EQ(box->isChecked(), box == &dialog.box(Bookmark::ExpressionFilter)) << box->text().toStdString();
        }
        QTest::keyClicks(&dialog.nameEdit(), "Filter");
        QTest::mouseClick(&dialog.saveButton(), Qt::LeftButton);
    });
    tree.clearSelection();
    frame->action(I::NewBookmark).trigger();
    ASSERT_NE(item(*frame, "Filter"), nullptr);
    EXPECT_EQ(bookmarkOf(item(*frame, "Filter"))->settings, Bookmark::ExpressionFilter);

    shortcut(*frame, Qt::Key_W);
    ASSERT_TRUE(frame->view().detailViewShown());
    std::int32_t offered = -1;
    whenDialog([&](EditBookmarkDialog& dialog) {
        offered = dialog.settings();
        QTest::mouseClick(dialog.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    });
    frame->action(I::NewBookmark).trigger();
    EXPECT_EQ(offered, Bookmark::ViewZoom);
    EXPECT_EQ(prompt.errors.size(), 2u);
}

TEST_F(BookmarksWindowTest, RenameIgnoresAnEmptyLabelAndDeleteTakesAGroupWithItsChildren) {
    {
        auto frame = makeFrame();
        CDragDropTreeCtrl& tree = treeOf(*frame);
        const auto rename = [&](QTreeWidgetItem* target, const char* text) {
            chooseFromMenu("&Rename");
            rightClick(tree, target);
            ASSERT_TRUE(eventually([&] { return labelEditor(tree) != nullptr; }));
            QLineEdit* editor = labelEditor(tree);
            EXPECT_EQ(tree.currentItem(), target);
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_Backspace);
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
            EXPECT_TRUE(eventually([&] { return !tree.editingLabel(); }));
        };
        QTreeWidgetItem* none = item(*frame, "None");
        rename(none, "");
        EXPECT_EQ(none->text(0), "None");
        EXPECT_EQ(bookmarkOf(none)->name(), "None");
        rename(none, "None");
        EXPECT_FALSE(frame->view().bookmarks().modified());
        rename(none, "Nothing");
        EXPECT_EQ(none->text(0), "Nothing");
        EXPECT_EQ(bookmarkOf(none)->name(), "Nothing");
        EXPECT_TRUE(frame->view().bookmarks().modified());

        chooseFromMenu("&Delete");
        rightClick(tree, item(*frame, "Views"));
        EXPECT_EQ(shape(tree), "Atlas Structures+[Searchable,Nothing]");
    }
    // Gone for good: the file written at the end no longer holds the group.
    const std::string text = readFile("Bookmarks.xml");
    EXPECT_EQ(text.find("Views"), std::string::npos);
    EXPECT_NE(text.find("    <BookmarkGroup name=\"Atlas Structures\" expanded=\"true\">\n"
                        "        <Bookmark name=\"Searchable\">\n"),
              std::string::npos);
    EXPECT_NE(text.find("        <Bookmark name=\"Nothing\">\n"
                        "            <AtlasStructures>\n"
                        "            </AtlasStructures>\n"
                        "        </Bookmark>\n"),
              std::string::npos);
}

TEST_F(BookmarksWindowTest, DragAndDropFollowsItsRules) {
    enum Spot { LowerHalf, UpperHalf, GroupIcon, GroupLabel, BelowAll };
    const struct {
        const char* dragged;
        const char* onto;
        Spot spot;
        const char* markItem;
        CDragDropTreeCtrl::MarkSide side;
        bool allowed;
        const char* result;
    } cases[] = {
        {"a1", "b", LowerHalf, "b", CDragDropTreeCtrl::MarkSide::After, true, "A+[a2,A3-[a31]],b,a1,C+[c1]"},
        {"b", "a1", UpperHalf, "a1", CDragDropTreeCtrl::MarkSide::Before, true, "A+[b,a1,a2,A3-[a31]],C+[c1]"},
        {"b", "C", GroupIcon, "C", CDragDropTreeCtrl::MarkSide::After, true, "A+[a1,a2,A3-[a31]],C+[c1],b"},
        {"b", "C", GroupLabel, "c1", CDragDropTreeCtrl::MarkSide::Before, true, "A+[a1,a2,A3-[a31]],C+[b,c1]"},
        {"a1", nullptr, BelowAll, "C", CDragDropTreeCtrl::MarkSide::After, true, "A+[a2,A3-[a31]],b,C+[c1],a1"},
        // The whole group with its subtree, expanded states and bookmarks.
        {"A", "b", LowerHalf, "b", CDragDropTreeCtrl::MarkSide::After, true, "b,A+[a1,a2,A3-[a31]],C+[c1]"},
        // Onto its own subtree, or back where it is: nothing moves.
        {"A", "a2", LowerHalf, nullptr, CDragDropTreeCtrl::MarkSide::None, false, nullptr},
        {"A", "A", GroupLabel, nullptr, CDragDropTreeCtrl::MarkSide::None, false, nullptr},
        {"a2", "a1", LowerHalf, "a1", CDragDropTreeCtrl::MarkSide::After, true, nullptr},
        {"a2", "A3", GroupIcon, "A3", CDragDropTreeCtrl::MarkSide::After, true, "A+[a1,A3-[a31],a2],b,C+[c1]"},
    };
    const std::string original = "A+[a1,a2,A3-[a31]],b,C+[c1]";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dragged) + " onto " + (c.onto ? c.onto : "the end"));
        writeFile("Bookmarks.xml", kSmallTree);
        auto frame = makeFrame();
        CDragDropTreeCtrl& tree = treeOf(*frame);
        ASSERT_EQ(shape(tree), original);
        QPoint to;
        if (c.spot == BelowAll) {
            to = QPoint(60, tree.viewport()->height() - 40);
        } else {
            QTreeWidgetItem* target = item(*frame, c.onto);
            const QRect label = tree.labelRect(target);
            const int quarter = label.height() / 4;
            to = c.spot == LowerHalf   ? label.center() + QPoint(0, quarter)
                 : c.spot == UpperHalf ? label.center() - QPoint(0, quarter)
                 : c.spot == GroupIcon ? tree.iconRect(target).center()
                                       : label.center();
        }
        QTreeWidgetItem* dragged = item(*frame, c.dragged);
        drag(tree, dragged, to, [&] {
            EXPECT_TRUE(tree.dragging());
            EXPECT_NE(tree.viewport()->findChild<QLabel*>("BookmarkDragImage"), nullptr);
            EXPECT_EQ(tree.viewport()->cursor().shape() == Qt::ForbiddenCursor, !c.allowed);
            EXPECT_EQ(tree.insertMarkItem(), c.markItem ? item(*frame, c.markItem) : nullptr);
            EXPECT_EQ(tree.insertMarkSide(), c.side);
            if (c.onto && c.allowed) {
                EXPECT_EQ(tree.dropTarget(), item(*frame, c.onto));
            }
        });
        EXPECT_FALSE(tree.dragging());
        EXPECT_EQ(tree.insertMarkItem(), nullptr);
        EXPECT_EQ(tree.viewport()->findChild<QLabel*>("BookmarkDragImage"), nullptr);
        EXPECT_NE(tree.viewport()->cursor().shape(), Qt::ForbiddenCursor);
        EXPECT_EQ(shape(tree), c.result ? c.result : original);
        EXPECT_EQ(frame->view().bookmarks().modified(), c.result != nullptr);
        if (c.result) {
            EXPECT_EQ(tree.currentItem()->text(0), c.dragged);
            EXPECT_EQ(bookmarkOf(item(*frame, "a31"))->zoom, 43.0f);
            EXPECT_EQ(item(*frame, "A")->icon(0).cacheKey(), bookmarkGroupIcon().cacheKey());
        }
    }
}

TEST_F(BookmarksWindowTest, DraggingExpandsACollapsedGroupAndScrollsAtTheEdge) {
    writeFile("Bookmarks.xml", kSmallTree);
    {
        auto frame = makeFrame();
        CDragDropTreeCtrl& tree = treeOf(*frame);
        QTreeWidgetItem* group = item(*frame, "A3");
        drag(tree, item(*frame, "b"), tree.labelRect(group).center(), [&] {
            EXPECT_FALSE(group->isExpanded());
            EXPECT_TRUE(eventually([&] { return group->isExpanded(); }, 3000));
        });
        // Dropped on a group's label: first in the group.
        EXPECT_EQ(shape(tree), "A+[a1,a2,A3+[b,a31]],C+[c1]");
    }
    std::string many = "<Bookmarks>\n";
    for (int i = 0; i < 80; ++i)
        many += "<Bookmark name=\"m" + std::to_string(i) + "\"><Zoom>50</Zoom></Bookmark>\n";
    writeFile("Bookmarks.xml", many + "</Bookmarks>\n");
    auto frame = makeFrame();
    CDragDropTreeCtrl& tree = treeOf(*frame);
    QScrollBar* bar = tree.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 5);
    ASSERT_EQ(bar->value(), 0);
    drag(tree, item(*frame, "m0"), QPoint(60, tree.viewport()->height() - 3), [&] {
        EXPECT_TRUE(eventually([&] { return bar->value() >= 3; }, 5000));
        const int reached = bar->value();
        // Back out of the edge zone, the scrolling stops.
        QTest::mouseMove(tree.viewport(), QPoint(60, tree.viewport()->height() / 2));
        QTest::qWait(600);
        EXPECT_LE(bar->value(), reached + 1);
    });
}

TEST_F(BookmarksWindowTest, TheTreeIsSavedAtTheEndOnlyWhenItChangedAndReadAgainAtTheNextStart) {
    writeFile("Bookmarks.xml", kSmallTree);
    {
        auto frame = makeFrame();
        // Going to a bookmark changes nothing in the tree.
        click(treeOf(*frame), item(*frame, "b"), Qt::ControlModifier);
    }
    EXPECT_EQ(readFile("Bookmarks.xml"), kSmallTree);
    EXPECT_FALSE(std::filesystem::exists(file("Bookmarks.bak")));
    {
        auto frame = makeFrame();
        EXPECT_FALSE(frame->view().bookmarks().modified());
        clickExpander(treeOf(*frame), item(*frame, "A3"));
        ASSERT_TRUE(item(*frame, "A3")->isExpanded());
        EXPECT_TRUE(frame->view().bookmarks().modified());
    }
    // The file follows the grammar exactly, the old one kept as the backup.
    const std::string expected = R"(<?xml version="1.0" encoding="utf-8"?>
<Bookmarks>
    <BookmarkGroup name="A" expanded="true">
        <Bookmark name="a1">
            <Zoom>41</Zoom>
        </Bookmark>
        <Bookmark name="a2">
            <Zoom>42</Zoom>
        </Bookmark>
        <BookmarkGroup name="A3" expanded="true">
            <Bookmark name="a31">
                <Zoom>43</Zoom>
            </Bookmark>
        </BookmarkGroup>
    </BookmarkGroup>
    <Bookmark name="b">
        <Zoom>50</Zoom>
    </Bookmark>
    <BookmarkGroup name="C" expanded="true">
        <Bookmark name="c1">
            <Zoom>60</Zoom>
        </Bookmark>
    </BookmarkGroup>
</Bookmarks>
)";
    EXPECT_EQ(readFile("Bookmarks.xml"), expected);
    EXPECT_EQ(readFile("Bookmarks.bak"), kSmallTree);
    {
        auto frame = makeFrame();
        EXPECT_EQ(shape(treeOf(*frame)), "A+[a1,a2,A3+[a31]],b,C+[c1]");
        newBookmark(*frame, "Fresh & new");
    }
    auto frame = makeFrame();
    EXPECT_EQ(shape(treeOf(*frame)), "A+[a1,a2,A3+[a31]],b,C+[c1],Fresh & new");
    EXPECT_NE(readFile("Bookmarks.xml").find("<Bookmark name=\"Fresh &amp; new\">"), std::string::npos);
}

// Each kind of change reaches the file a moment after it is made, with the window still open, through
// ".new" and ".bak" as the save at the end does: a crash loses at most that moment's work. With nothing
// left unsaved, the end writes nothing more.
TEST_F(BookmarksWindowTest, EachChangeIsSavedAMomentLaterWhileTheWindowStaysOpen) {
    writeFile("Bookmarks.xml", kSmallTree);
    auto frame = makeFrame();
    CDragDropTreeCtrl& tree = treeOf(*frame);
    const struct {
        const char* what;
        std::function<void()> change;
        const char* saved;
    } changes[] = {
        {"a new bookmark",
         [&] {
             click(tree, item(*frame, "b"), Qt::ControlModifier);
             newBookmark(*frame, "Fresh");
         },
         "A+[a1,a2,A3-[a31]],b,Fresh,C+[c1]"},
        {"a collapsed group", [&] { clickExpander(tree, item(*frame, "C")); }, "A+[a1,a2,A3-[a31]],b,Fresh,C-[c1]"},
        {"a move by dragging",
         [&] { drag(tree, item(*frame, "Fresh"), tree.iconRect(item(*frame, "C")).center()); },
         "A+[a1,a2,A3-[a31]],b,C-[c1],Fresh"},
        {"a deletion",
         [&] {
             chooseFromMenu("&Delete");
             rightClick(tree, item(*frame, "A"));
         },
         "b,C-[c1],Fresh"},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        const std::string before = readFile("Bookmarks.xml");
        c.change();
        ASSERT_TRUE(eventually([&] { return savedShape() == c.saved; }, 15000)) << savedShape();
        EXPECT_EQ(readFile("Bookmarks.bak"), before);
        EXPECT_FALSE(std::filesystem::exists(file("Bookmarks.new")));
        EXPECT_TRUE(frame->isVisible());
    }
    const std::string last = readFile("Bookmarks.xml"), backup = readFile("Bookmarks.bak");
    frame.reset();
    EXPECT_EQ(readFile("Bookmarks.xml"), last);
    EXPECT_EQ(readFile("Bookmarks.bak"), backup);
}

TEST_F(BookmarksWindowTest, ASaveStoppedBetweenItsTwoMovesLosesNothing) {
    const Ontology& ontology = ReferenceAtlas::instance().ontology();
    const BookmarksFile bookmarks(userDirectory(), ontology);
    BookmarkTree mine;
    mine.root.addGroup("Mine", true).addBookmark(Bookmark("Close up", Bookmark::ViewZoom));
    ASSERT_TRUE(bookmarks.save(mine));
    // The save at the end of the last run moved the file to ".bak" and stopped before ".new" took its place.
    writeFile("Bookmarks.new", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Bookmarks>\n");
    std::filesystem::rename(file("Bookmarks.xml"), file("Bookmarks.bak"));
    {
        auto frame = makeFrame();
        EXPECT_EQ(shape(treeOf(*frame)), "Mine+[Close up]");
        EXPECT_FALSE(frame->view().bookmarks().modified());
        clickExpander(treeOf(*frame), item(*frame, "Mine"));
        ASSERT_FALSE(item(*frame, "Mine")->isExpanded());
    }
    EXPECT_EQ(readFile("Bookmarks.xml"), bookmarksText([&] {
                  BookmarkTree t;
                  t.root.addGroup("Mine", false).addBookmark(Bookmark("Close up", Bookmark::ViewZoom));
                  return t;
              }(), ontology));
    EXPECT_FALSE(std::filesystem::exists(file("Bookmarks.new")));
}

TEST_F(BookmarksWindowTest, ABookmarkIsReachedAnimatedOrAtOnce) {
    preferences.setBookmarkAnimationSpeed(1.0f);
    auto frame = makeFrame();
    CDragDropTreeCtrl& tree = treeOf(*frame);
    BrainExpressionModel& model = document.detailModel();
    BrainSceneRenderer& scene = frame->view().scene();
    const std::array<float, 4> rightToLeft{0, 1, 0, 0};
    const std::array<float, 4> caudal{0, 0.707107f, 0, 0.707107f};
    const std::array<float, 4> dorsal{-0.707107f, 0, 0, 0.707107f};

    click(tree, item(*frame, "Sagittal - Right to Left"));
    EXPECT_TRUE(scene.isAnimating());
    EXPECT_FALSE(near(model.rotation(), rightToLeft));
    ASSERT_TRUE(eventually([&] { return !scene.isAnimating(); }, 5000));
    EXPECT_TRUE(near(model.rotation(), rightToLeft));

    click(tree, item(*frame, "Coronal - Caudal to Rostral"), Qt::ControlModifier);
    EXPECT_FALSE(scene.isAnimating());
    EXPECT_TRUE(near(model.rotation(), caudal));

    // Enter goes to the selected bookmark too, at once with Ctrl.
    QTest::keyClick(&tree, Qt::Key_Down);
    QTest::keyClick(&tree, Qt::Key_Down);
    ASSERT_EQ(tree.currentItem(), item(*frame, "Horizontal - Dorsal to Ventral"));
    EXPECT_TRUE(near(model.rotation(), caudal));
    QTest::keyClick(&tree, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(scene.isAnimating());
    EXPECT_TRUE(near(model.rotation(), dorsal));
    QTest::keyClick(&tree, Qt::Key_Up);
    QTest::keyClick(&tree, Qt::Key_Return);
    EXPECT_TRUE(scene.isAnimating());
    ASSERT_TRUE(eventually([&] { return !scene.isAnimating(); }, 5000));
    EXPECT_TRUE(near(model.rotation(), std::array<float, 4>{0, -0.707107f, 0, 0.707107f}));

    // A click on a group goes nowhere; Shift+click neither.
    click(tree, item(*frame, "Views"));
    click(tree, item(*frame, "Sagittal - Left to Right"), Qt::ShiftModifier);
    EXPECT_FALSE(scene.isAnimating());
    EXPECT_FALSE(near(model.rotation(), std::array<float, 4>{0, 0, 0, 1}));

    // Off the scene a bookmark is applied at once.
    shortcut(*frame, Qt::Key_T);
    ASSERT_FALSE(frame->view().detailViewShown());
    click(tree, item(*frame, "Sagittal - Left to Right"));
    EXPECT_TRUE(near(model.rotation(), std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_FALSE(scene.isAnimating());
}

TEST_F(BookmarksWindowTest, SnapbackMarksWhereAJumpStartedAndGoBackReturnsThere) {
    preferences.setBookmarkAnimationSpeed(0.5f);
    auto frame = makeFrame();
    CDragDropTreeCtrl& tree = treeOf(*frame);
    BrainExpressionModel& model = document.detailModel();
    BrainSceneRenderer& scene = frame->view().scene();
    EXPECT_FALSE(frame->action(I::GoBack).isEnabled());
    EXPECT_TRUE(frame->action(I::MarkForSnapback).isEnabled());

    model.setZoom(90.0f, true);
    shortcut(*frame, Qt::Key_M);
    frame->updateCommands();
    ASSERT_TRUE(frame->action(I::GoBack).isEnabled());
    EXPECT_EQ(frame->view().bookmarks().commands().snapback()->settings, Bookmark::AllSettings);
    model.setZoom(150.0f, true);
    shortcut(*frame, Qt::Key_G);
    EXPECT_TRUE(scene.isAnimating());
    ASSERT_TRUE(eventually([&] { return !scene.isAnimating(); }, 5000));
    EXPECT_EQ(model.zoom(), 90.0f);

    // A jump marks where it started; the snapback stays after Go Back.
    const std::array<float, 4> before = model.rotation();
    click(tree, item(*frame, "Sagittal - Right to Left"), Qt::ControlModifier);
    ASSERT_FALSE(near(model.rotation(), before));
    shortcut(*frame, Qt::Key_G);
    ASSERT_TRUE(eventually([&] { return !scene.isAnimating(); }, 5000));
    EXPECT_TRUE(near(model.rotation(), before));
    frame->updateCommands();
    EXPECT_TRUE(frame->action(I::GoBack).isEnabled());

    // Off the scene the mark keeps the expression filter alone.
    shortcut(*frame, Qt::Key_T);
    frame->action(I::MarkForSnapback).trigger();
    EXPECT_EQ(frame->view().bookmarks().commands().snapback()->settings, Bookmark::ExpressionFilter);
}

} // namespace
} // namespace volumira

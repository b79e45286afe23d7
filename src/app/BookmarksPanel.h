#pragma once

#include "bookmarks/BookmarksFile.h"
#include "document/BookmarkCommands.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QTimer;
class QTreeWidgetItem;
class QWidget;

namespace volumira {

class BrainExpressionModel;
class BrainSceneRenderer;
class CDragDropTreeCtrl;
class Ontology;
class Prompt;

// The "Bookmarks" side tab: the tree of bookmarks and groups read from the user's "Bookmarks.xml" (or the
// defaults), its commands, going to a bookmark, the snapback, and saving the tree: shortly after each
// change, so that a crash loses at most the last moment's work, and when the panel goes if anything is
// still unsaved.
class BookmarksPanel {
  public:
    // A save waits this long after the last change, so that a burst of changes is written once.
    static constexpr int kSaveDelayMs = 1000;

    // Everything given must outlive the panel; the tree is made as a child of parent and filled at once.
    // directory ends in "/". sceneShown says whether the data view shows the 3D scene.
    BookmarksPanel(QWidget* parent, BrainExpressionModel& model, BrainSceneRenderer& scene, const Ontology& ontology,
                   Prompt& prompt, std::string directory, std::function<bool()> sceneShown);
    // Saves the tree when a change is not on disk yet; a failed save is not reported.
    ~BookmarksPanel();
    BookmarksPanel(const BookmarksPanel&) = delete;
    BookmarksPanel& operator=(const BookmarksPanel&) = delete;

    CDragDropTreeCtrl& tree() { return *tree_; }
    const BookmarkCommands& commands() const { return commands_; }
    // A new bookmark, a new group, a label, a deletion, an expansion or a move since the tree was read.
    bool modified() const;
    bool hasSnapback() const { return commands_.snapback() != nullptr; }

    void newBookmark();
    void newGroup();
    void markForSnapback();
    void goBack();
    // Marks the snapback and goes to the item's bookmark; nothing for a group.
    void goToItem(QTreeWidgetItem* item, bool immediate);
    void rename(QTreeWidgetItem* item);
    void remove(QTreeWidgetItem* item);

    // Something the commands' rules look at changed.
    std::function<void()> onStateChanged;

  private:
    void load();
    void insert(QTreeWidgetItem* item);
    void goTo(const Bookmark& bookmark, bool immediate);
    void showMenu(QTreeWidgetItem* item, const QPoint& at);
    void stateChanged();
    // Records a change to the tree and (re)starts the wait before the save.
    void changed();
    // Writes the tree when a change is unsaved; a failure leaves it unsaved, for the next try.
    void save();

    BrainExpressionModel& model_;
    BrainSceneRenderer& scene_;
    Prompt& prompt_;
    BookmarksFile file_;
    std::function<bool()> sceneShown_;
    BookmarkCommands commands_;
    CDragDropTreeCtrl* tree_ = nullptr;
    // Receives the tree's signals for the panel; gone with it, so nothing reaches a panel that has gone.
    std::unique_ptr<QObject> receiver_;
    std::unique_ptr<QTimer> saveTimer_;
    bool modified_ = false;
    bool unsaved_ = false;
};

} // namespace volumira

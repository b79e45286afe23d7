#include "app/BookmarksPanel.h"

#include "app/BookmarkItem.h"
#include "app/BookmarksTreeAdapter.h"
#include "app/CDragDropTreeCtrl.h"
#include "app/EditBookmarkDialog.h"
#include "scene/BrainSceneRenderer.h"

#include <QMenu>
#include <QTimer>
#include <exception>

namespace volumira {

BookmarksPanel::BookmarksPanel(QWidget* parent, BrainExpressionModel& model, BrainSceneRenderer& scene,
                               const Ontology& ontology, Prompt& prompt, std::string directory,
                               std::function<bool()> sceneShown)
    : model_(model), scene_(scene), prompt_(prompt), file_(std::move(directory), ontology),
      sceneShown_(std::move(sceneShown)), commands_(model), receiver_(std::make_unique<QObject>()),
      saveTimer_(std::make_unique<QTimer>()) {
    saveTimer_->setSingleShot(true);
    saveTimer_->setInterval(kSaveDelayMs);
    QObject::connect(saveTimer_.get(), &QTimer::timeout, receiver_.get(), [this] { save(); });
    tree_ = new CDragDropTreeCtrl(parent);
    tree_->setObjectName("BookmarksTree");
    load();
    tree_->onItemClicked = [this](QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
        goToItem(item, modifiers & Qt::ControlModifier);
    };
    tree_->onEnter = [this](QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
        goToItem(item, modifiers & Qt::ControlModifier);
    };
    tree_->onContextMenu = [this](QTreeWidgetItem* item, const QPoint& at) { showMenu(item, at); };
    tree_->onLabelEdited = [this](QTreeWidgetItem* item) {
        if (BookmarkItem* b = asBookmarkItem(item); b && b->bookmark())
            b->bookmark()->setName(item->text(0).toStdString());
        changed();
    };
    // Connected after loading: the expansions of the file's groups are not changes.
    QObject::connect(tree_, &QTreeWidget::itemExpanded, receiver_.get(), [this] { changed(); });
    QObject::connect(tree_, &QTreeWidget::itemCollapsed, receiver_.get(), [this] { changed(); });
    // Items added, deleted or moved by dragging: every change of the tree's shape passes here.
    QAbstractItemModel* items = tree_->model();
    QObject::connect(items, &QAbstractItemModel::rowsInserted, receiver_.get(), [this] { changed(); });
    QObject::connect(items, &QAbstractItemModel::rowsRemoved, receiver_.get(), [this] { changed(); });
}

BookmarksPanel::~BookmarksPanel() {
    receiver_.reset();
    tree_->onItemClicked = nullptr;
    tree_->onEnter = nullptr;
    tree_->onContextMenu = nullptr;
    tree_->onLabelEdited = nullptr;
    saveTimer_.reset();
    // There is no one left to tell of a failure; the last good copy stays on disk.
    save();
}

void BookmarksPanel::changed() {
    modified_ = true;
    unsaved_ = true;
    saveTimer_->start();
}

void BookmarksPanel::save() {
    if (!unsaved_) return;
    try {
        // Through ".new" and ".bak", so that a crash during the save leaves a whole file behind.
        if (file_.save(bookmarkTreeOf(*tree_))) unsaved_ = false;
    } catch (const std::exception&) {
        // Left unsaved: the next change or the end tries again; the last good copy stays on disk.
    }
}

void BookmarksPanel::load() {
    // The file's own rules give the defaults for a missing or damaged file; the tree is filled only with a
    // complete result, so nothing partly read ever reaches it.
    const BookmarkTree tree = file_.load();
    BookmarksTreeAdapter adapter(*tree_);
    feedTree(tree, adapter);
    adapter.expandGroups();
}

bool BookmarksPanel::modified() const { return modified_ || tree_->dragModified(); }

void BookmarksPanel::stateChanged() {
    if (onStateChanged) onStateChanged();
}

void BookmarksPanel::insert(QTreeWidgetItem* item) {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    QTreeWidgetItem* at = selected.isEmpty() ? nullptr : selected.first();
    const BookmarkItem* atItem = asBookmarkItem(at);
    const BookmarkSelection selection = !atItem           ? BookmarkSelection::Nothing
                                        : atItem->isGroup() ? BookmarkSelection::Group
                                                            : BookmarkSelection::Bookmark;
    switch (placementFor(selection)) {
    case BookmarkPlacement::AfterSelected:
        if (QTreeWidgetItem* parent = at->parent())
            parent->insertChild(parent->indexOfChild(at) + 1, item);
        else
            tree_->insertTopLevelItem(tree_->indexOfTopLevelItem(at) + 1, item);
        break;
    case BookmarkPlacement::LastInSelectedGroup: at->addChild(item); break;
    case BookmarkPlacement::LastAtTopLevel: tree_->addTopLevelItem(item); break;
    }
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
    changed();
}

void BookmarksPanel::newBookmark() {
    const bool scene = sceneShown_();
    EditBookmarkDialog dialog(commands_.rememberedSettings(), !scene, prompt_, tree_->window());
    if (dialog.exec() != QDialog::Accepted) return;
    commands_.rememberSettings(dialog.settings(), scene);
    insert(new BookmarkItem(std::make_unique<Bookmark>(commands_.capture(dialog.name(), dialog.settings()))));
}

void BookmarksPanel::newGroup() {
    auto* group = new BookmarkItem(QString("New Group"));
    insert(group);
    group->setExpanded(true);
    tree_->setFocus(Qt::OtherFocusReason);
    tree_->editItem(group, 0);
}

void BookmarksPanel::markForSnapback() {
    commands_.markForSnapback(sceneShown_());
    stateChanged();
}

void BookmarksPanel::goBack() {
    if (const Bookmark* snapback = commands_.snapback()) goTo(*snapback, false);
}

void BookmarksPanel::goTo(const Bookmark& bookmark, bool immediate) {
    // Off the scene its timer is not the one running, so the move is made at once.
    if (sceneShown_())
        scene_.goToBookmark(bookmark, immediate);
    else
        bookmark.apply(model_);
}

void BookmarksPanel::goToItem(QTreeWidgetItem* item, bool immediate) {
    const BookmarkItem* b = asBookmarkItem(item);
    if (!b || b->isGroup()) return;
    markForSnapback();
    goTo(*b->bookmark(), immediate);
}

void BookmarksPanel::rename(QTreeWidgetItem* item) {
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
    tree_->setFocus(Qt::OtherFocusReason);
    tree_->editItem(item, 0);
}

void BookmarksPanel::remove(QTreeWidgetItem* item) {
    // The item owns its children and they their bookmarks.
    delete item;
    changed();
    stateChanged();
}

void BookmarksPanel::showMenu(QTreeWidgetItem* item, const QPoint& at) {
    QMenu menu(tree_);
    menu.setObjectName("BookmarkMenu");
    QAction* renameEntry = menu.addAction("&Rename");
    QAction* deleteEntry = menu.addAction("&Delete");
    QAction* chosen = menu.exec(at);
    if (chosen == renameEntry)
        rename(item);
    else if (chosen == deleteEntry)
        remove(item);
}

} // namespace volumira

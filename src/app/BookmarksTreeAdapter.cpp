#include "app/BookmarksTreeAdapter.h"

#include "app/BookmarkItem.h"

#include <QTreeWidget>

namespace volumira {

namespace {

void append(QTreeWidget& tree, QTreeWidgetItem* parent, QTreeWidgetItem* item) {
    if (parent)
        parent->addChild(item);
    else
        tree.addTopLevelItem(item);
}

void copyInto(const QTreeWidgetItem& item, BookmarkNode& parent) {
    const BookmarkItem* source = asBookmarkItem(&item);
    if (!source) return;
    if (!source->isGroup()) {
        parent.addBookmark(*source->bookmark());
        return;
    }
    BookmarkNode& group = parent.addGroup(item.text(0).toStdString(), item.isExpanded());
    for (int i = 0; i < item.childCount(); ++i)
        copyInto(*item.child(i), group);
}

} // namespace

BookmarksIOAdapter::GroupHandle BookmarksTreeAdapter::addGroup(const std::string& name, bool expanded,
                                                               GroupHandle parent) {
    auto* item = new BookmarkItem(QString::fromStdString(name));
    append(tree_, static_cast<QTreeWidgetItem*>(parent), item);
    if (expanded) expanded_.push_back(item);
    return static_cast<QTreeWidgetItem*>(item);
}

void BookmarksTreeAdapter::addBookmark(const Bookmark& bookmark, GroupHandle group) {
    append(tree_, static_cast<QTreeWidgetItem*>(group), new BookmarkItem(std::make_unique<Bookmark>(bookmark)));
}

void BookmarksTreeAdapter::expandGroups() {
    for (QTreeWidgetItem* item : expanded_)
        item->setExpanded(true);
    expanded_.clear();
}

BookmarkTree bookmarkTreeOf(const QTreeWidget& tree) {
    BookmarkTree result;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        copyInto(*tree.topLevelItem(i), result.root);
    return result;
}

} // namespace volumira

#pragma once

#include "bookmarks/Bookmark.h"

#include <QTreeWidgetItem>
#include <memory>

namespace volumira {

// An item of the bookmarks tree: a group, or a bookmark that the item owns. Groups carry the group icon,
// bookmarks the bookmark icon.
class BookmarkItem : public QTreeWidgetItem {
  public:
    static constexpr int kType = QTreeWidgetItem::UserType + 9;

    // A group.
    explicit BookmarkItem(const QString& groupName);
    // A bookmark, shown by its name.
    explicit BookmarkItem(std::unique_ptr<Bookmark> bookmark);

    bool isGroup() const { return !bookmark_; }
    // Null for a group.
    Bookmark* bookmark() const { return bookmark_.get(); }
    // This item and its subtree with their texts, icons and bookmarks (each copied). Expanded states belong
    // to the tree, so they are set once the copy is in one.
    std::unique_ptr<BookmarkItem> copySubtree() const;

  private:
    std::unique_ptr<Bookmark> bookmark_;
};

// The bookmark item behind a tree item, or null for an item of another kind.
BookmarkItem* asBookmarkItem(QTreeWidgetItem* item);
const BookmarkItem* asBookmarkItem(const QTreeWidgetItem* item);
QIcon bookmarkGroupIcon();
QIcon bookmarkIcon();

} // namespace volumira

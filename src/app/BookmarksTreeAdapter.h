#pragma once

#include "bookmarks/BookmarkTree.h"

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace volumira {

// Fills the bookmarks tree control with what a bookmarks file or tree reports: each group and bookmark
// appended last under its parent, groups expanded when asked, each bookmark item holding its own copy.
class BookmarksTreeAdapter : public BookmarksIOAdapter {
  public:
    explicit BookmarksTreeAdapter(QTreeWidget& tree) : tree_(tree) {}
    GroupHandle addGroup(const std::string& name, bool expanded, GroupHandle parent) override;
    void addBookmark(const Bookmark& bookmark, GroupHandle group) override;
    // Expands the groups that asked for it; a view expands only items that already have children, so
    // this comes once everything has been added.
    void expandGroups();

  private:
    QTreeWidget& tree_;
    std::vector<QTreeWidgetItem*> expanded_;
};

// The tree the control shows, for saving: groups by their text, bookmarks by their own names.
BookmarkTree bookmarkTreeOf(const QTreeWidget& tree);

} // namespace volumira

#pragma once

#include "bookmarks/Bookmark.h"

#include <memory>
#include <string>
#include <vector>

namespace volumira {

class Ontology;

// One item of the bookmark tree: a group (no bookmark) or a bookmark (no children).
struct BookmarkNode {
    std::string name;
    bool expanded = false;
    std::unique_ptr<Bookmark> bookmark;
    std::vector<std::unique_ptr<BookmarkNode>> children;

    bool isGroup() const { return !bookmark; }
    BookmarkNode& addGroup(std::string groupName, bool isExpanded);
    BookmarkNode& addBookmark(const Bookmark& source);
};

// The whole tree; its root stands for the top level and is never written.
struct BookmarkTree {
    BookmarkNode root;
};

// Receives what a bookmarks file holds. Group handles are opaque to the reader; null is the top level.
class BookmarksIOAdapter {
  public:
    using GroupHandle = void*;
    virtual ~BookmarksIOAdapter();
    virtual GroupHandle addGroup(const std::string& name, bool expanded, GroupHandle parent) = 0;
    // The adapter keeps its own copy.
    virtual void addBookmark(const Bookmark& bookmark, GroupHandle group) = 0;
};

// Fills a BookmarkTree, appending each item last under its parent.
class BookmarkTreeAdapter : public BookmarksIOAdapter {
  public:
    explicit BookmarkTreeAdapter(BookmarkTree& tree) : tree_(tree) {}
    GroupHandle addGroup(const std::string& name, bool expanded, GroupHandle parent) override;
    void addBookmark(const Bookmark& bookmark, GroupHandle group) override;

  private:
    BookmarkNode& nodeOf(GroupHandle group);

    BookmarkTree& tree_;
};

// Reports every group and bookmark of the tree to the adapter in tree order, as the reader would.
void feedTree(const BookmarkTree& tree, BookmarksIOAdapter& adapter);

// The complete text of "Bookmarks.xml" for the tree.
std::string bookmarksText(const BookmarkTree& tree, const Ontology& ontology);

// The bookmarks a user starts with: the six standard view angles and two structure choices.
BookmarkTree defaultBookmarks(const Ontology& ontology);

} // namespace volumira

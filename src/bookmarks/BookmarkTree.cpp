#include "bookmarks/BookmarkTree.h"

#include "atlas/Ontology.h"
#include "xml/EscapeXml.h"

#include <array>

namespace volumira {

BookmarkNode& BookmarkNode::addGroup(std::string groupName, bool isExpanded) {
    auto node = std::make_unique<BookmarkNode>();
    node->name = std::move(groupName);
    node->expanded = isExpanded;
    children.push_back(std::move(node));
    return *children.back();
}

BookmarkNode& BookmarkNode::addBookmark(const Bookmark& source) {
    auto node = std::make_unique<BookmarkNode>();
    node->name = source.name();
    node->bookmark = std::make_unique<Bookmark>(source);
    children.push_back(std::move(node));
    return *children.back();
}

BookmarksIOAdapter::~BookmarksIOAdapter() = default;

BookmarkNode& BookmarkTreeAdapter::nodeOf(GroupHandle group) {
    return group ? *static_cast<BookmarkNode*>(group) : tree_.root;
}

BookmarksIOAdapter::GroupHandle BookmarkTreeAdapter::addGroup(const std::string& name, bool expanded,
                                                              GroupHandle parent) {
    return &nodeOf(parent).addGroup(name, expanded);
}

void BookmarkTreeAdapter::addBookmark(const Bookmark& bookmark, GroupHandle group) {
    nodeOf(group).addBookmark(bookmark);
}

namespace {

void writeNode(std::string& out, const BookmarkNode& node, int indent, const Ontology& ontology) {
    if (!node.isGroup()) {
        node.bookmark->write(out, indent, ontology);
        return;
    }
    out.append(static_cast<std::size_t>(indent), ' ');
    out += "<BookmarkGroup name=\"";
    escapeXml(node.name, out);
    out += '"';
    if (node.expanded) out += " expanded=\"true\"";
    out += ">\n";
    for (const auto& child : node.children)
        writeNode(out, *child, indent + 4, ontology);
    out.append(static_cast<std::size_t>(indent), ' ');
    out += "</BookmarkGroup>\n";
}

void feedNode(const BookmarkNode& node, BookmarksIOAdapter& adapter, BookmarksIOAdapter::GroupHandle parent) {
    if (!node.isGroup()) {
        adapter.addBookmark(*node.bookmark, parent);
        return;
    }
    const BookmarksIOAdapter::GroupHandle group = adapter.addGroup(node.name, node.expanded, parent);
    for (const auto& child : node.children)
        feedNode(*child, adapter, group);
}

} // namespace

void feedTree(const BookmarkTree& tree, BookmarksIOAdapter& adapter) {
    for (const auto& child : tree.root.children)
        feedNode(*child, adapter, nullptr);
}

std::string bookmarksText(const BookmarkTree& tree, const Ontology& ontology) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Bookmarks>\n";
    for (const auto& child : tree.root.children)
        writeNode(out, *child, 4, ontology);
    out += "</Bookmarks>\n";
    return out;
}

BookmarkTree defaultBookmarks(const Ontology& ontology) {
    struct View {
        const char* name;
        std::array<float, 4> rotation;
    };
    static const View kViews[] = {
        {"Coronal - Caudal to Rostral", {0.0f, 0.707107f, 0.0f, 0.707107f}},
        {"Coronal - Rostral to Caudal", {0.0f, -0.707107f, 0.0f, 0.707107f}},
        {"Horizontal - Dorsal to Ventral", {-0.707107f, 0.0f, 0.0f, 0.707107f}},
        {"Horizontal - Ventral to Dorsal", {0.707107f, 0.0f, 0.0f, 0.707107f}},
        {"Sagittal - Left to Right", {0.0f, 0.0f, 0.0f, 1.0f}},
        {"Sagittal - Right to Left", {0.0f, 1.0f, 0.0f, 0.0f}},
    };

    BookmarkTree tree;
    BookmarkNode& views = tree.root.addGroup("Views", true);
    for (const View& view : kViews) {
        Bookmark bookmark(view.name, Bookmark::ViewAngle);
        bookmark.rotation = view.rotation;
        views.addBookmark(bookmark);
    }
    BookmarkNode& structures = tree.root.addGroup("Atlas Structures", true);
    Bookmark searchable("Searchable", Bookmark::AtlasStructures);
    searchable.atlasStructures = ontology.searchableStructures();
    structures.addBookmark(searchable);
    structures.addBookmark(Bookmark("None", Bookmark::AtlasStructures));
    return tree;
}

} // namespace volumira

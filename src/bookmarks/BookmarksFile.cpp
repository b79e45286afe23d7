#include "bookmarks/BookmarksFile.h"

#include "bookmarks/BookmarksReader.h"
#include "platform/FileUtils.h"

#include <cstdio>
#include <exception>

namespace volumira {

BookmarksFile::BookmarksFile(std::string directory, const Ontology& ontology)
    : directory_(std::move(directory)), ontology_(ontology) {}

BookmarkTree BookmarksFile::load() const {
    if (!fileExists(path())) return defaultBookmarks(ontology_);
    BookmarkTree tree;
    try {
        BookmarkTreeAdapter adapter(tree);
        BookmarksReader reader(path(), &adapter, ontology_);
    } catch (const std::exception&) {
        // A damaged file stays on disk until the next save replaces it; the user gets the defaults.
        return defaultBookmarks(ontology_);
    }
    return tree;
}

bool BookmarksFile::save(const BookmarkTree& tree) const {
    const std::string text = bookmarksText(tree, ontology_);
    UniqueFile file = openFile(newPath(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    ok = std::fflush(file.get()) == 0 && ok;
    ok = std::fclose(file.release()) == 0 && ok;
    if (ok && fileExists(path())) ok = replaceFile(path(), backupPath());
    if (ok) ok = replaceFile(newPath(), path());
    if (!ok) deleteFile(newPath());
    return ok;
}

} // namespace volumira

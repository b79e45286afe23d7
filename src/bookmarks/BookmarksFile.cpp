#include "bookmarks/BookmarksFile.h"

#include "bookmarks/BookmarksReader.h"
#include "platform/FileUtils.h"

#include <cstdio>
#include <exception>
#include <optional>

namespace volumira {

BookmarksFile::BookmarksFile(std::string directory, const Ontology& ontology)
    : directory_(std::move(directory)), ontology_(ontology) {}

namespace {

// The whole tree of one file, or nothing when it cannot be read in full.
std::optional<BookmarkTree> readTree(const std::string& path, const Ontology& ontology) {
    BookmarkTree tree;
    try {
        BookmarkTreeAdapter adapter(tree);
        BookmarksReader reader(path, &adapter, ontology);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return tree;
}

} // namespace

BookmarkTree BookmarksFile::load() const {
    if (fileExists(path())) {
        // A damaged file stays on disk until the next save replaces it; the user gets the defaults.
        std::optional<BookmarkTree> tree = readTree(path(), ontology_);
        return tree ? std::move(*tree) : defaultBookmarks(ontology_);
    }
    if (fileExists(backupPath()))
        if (std::optional<BookmarkTree> tree = readTree(backupPath(), ontology_)) return std::move(*tree);
    return defaultBookmarks(ontology_);
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

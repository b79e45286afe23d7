#pragma once

#include "bookmarks/BookmarkTree.h"

#include <string>

namespace volumira {

class Ontology;

// "Bookmarks.xml" in the user directory, with its ".new" and ".bak" companions.
class BookmarksFile {
  public:
    // directory ends in "/"; structure IDs are resolved through the ontology, which must outlive this.
    BookmarksFile(std::string directory, const Ontology& ontology);

    // The tree of the file; the default bookmarks when there is no file or it cannot be read in full.
    // Without "Bookmarks.xml" a readable ".bak" is taken instead: a save that stopped between its two
    // moves leaves the user's tree there.
    BookmarkTree load() const;
    // Writes the tree to ".new", keeps the previous file as ".bak" and moves ".new" into place.
    // False on any failure, with the last good copy left in place and ".new" removed.
    bool save(const BookmarkTree& tree) const;

    std::string path() const { return directory_ + "Bookmarks.xml"; }
    std::string backupPath() const { return directory_ + "Bookmarks.bak"; }
    std::string newPath() const { return directory_ + "Bookmarks.new"; }

  private:
    std::string directory_;
    const Ontology& ontology_;
};

} // namespace volumira

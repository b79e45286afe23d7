#pragma once

#include "bookmarks/BookmarkTree.h"
#include "xml/XMLParser.h"

#include <string>
#include <vector>

namespace volumira {

class Ontology;

// Reads a bookmarks file and reports its groups and bookmarks to an adapter. It accepts more than the
// writer produces: unknown elements are skipped wherever they stand, and unusable values are ignored.
class BookmarksReader : public XMLElementHandler {
  public:
    // Reads the whole file at once. Throws std::invalid_argument without an adapter or a path, and
    // std::runtime_error when the file cannot be opened or parsed. Structure IDs are looked up in the
    // ontology.
    BookmarksReader(const std::string& path, BookmarksIOAdapter* adapter, const Ontology& ontology);

    void startElement(const char* name, const char** attributes) override;
    void endElement(const char* name) override;
    void characterData(const char* text, std::size_t length) override;

  private:
    void readNisslSlice(const char** attributes);
    void readClippingPlane(const char** attributes);
    void readThreshold(const char** attributes, float& lower, float& upper);

    BookmarksIOAdapter* adapter_;
    const Ontology& ontology_;
    XMLParser parser_;
    std::vector<BookmarksIOAdapter::GroupHandle> groups_{nullptr};
    Bookmark bookmark_;
    StructureSet structures_;
    std::string text_;
};

} // namespace volumira

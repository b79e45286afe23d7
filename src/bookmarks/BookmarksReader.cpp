#include "bookmarks/BookmarksReader.h"

#include "atlas/Ontology.h"
#include "platform/FileUtils.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace volumira {

namespace {

bool is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// 0, 1, 2 for the three orientations; -1 for anything else.
int orientationOf(const char* value) {
    if (is(value, "coronal")) return 0;
    if (is(value, "horizontal")) return 1;
    if (is(value, "sagittal")) return 2;
    return -1;
}

// Splits at single spaces, as the writer joins.
std::vector<std::string> splitAtSpaces(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = text.find(' ', start);
        pieces.push_back(text.substr(start, space - start));
        if (space == std::string::npos) break;
        start = space + 1;
    }
    return pieces;
}

} // namespace

BookmarksReader::BookmarksReader(const std::string& path, BookmarksIOAdapter* adapter, const Ontology& ontology)
    : adapter_(adapter), ontology_(ontology), parser_(this) {
    if (!adapter_) throw std::invalid_argument("A bookmark adapter is required to read bookmarks.");
    if (path.empty()) throw std::invalid_argument("Bookmark file name not specified.");
    UniqueFile file = openFile(path, "rb");
    if (!file) throw std::runtime_error("Bookmarks file could not be opened.");
    char buffer[4096];
    for (;;) {
        const std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
        if (count < sizeof buffer && std::ferror(file.get()))
            throw std::runtime_error("Bookmarks file could not be opened.");
        const bool last = count < sizeof buffer;
        if (!parser_.parse(buffer, count, last)) throw std::runtime_error("Error parsing bookmarks file.");
        if (last) break;
    }
}

void BookmarksReader::startElement(const char* name, const char** attributes) {
    text_.clear();
    if (is(name, "BookmarkGroup")) {
        std::string groupName;
        bool expanded = false;
        for (const char** a = attributes; a[0]; a += 2) {
            if (is(a[0], "name"))
                groupName = a[1];
            else if (is(a[0], "expanded"))
                expanded = is(a[1], "true");
        }
        if (groupName.empty()) groupName = "Bookmark Group";
        groups_.push_back(adapter_->addGroup(groupName, expanded, groups_.back()));
    } else if (is(name, "Bookmark")) {
        bookmark_.reset(true);
        for (const char** a = attributes; a[0]; a += 2)
            if (is(a[0], "name")) {
                bookmark_.setName(a[1]);
                break;
            }
    } else if (is(name, "ExpressionFilter") || is(name, "AtlasStructures")) {
        structures_ = StructureSet();
    } else if (is(name, "Structure")) {
        for (const char** a = attributes; a[0]; a += 2) {
            if (!is(a[0], "id")) continue;
            const char* end = a[1] + std::strlen(a[1]);
            std::uint32_t id = 0;
            const auto result = std::from_chars(a[1], end, id);
            if (result.ec != std::errc() || id == 0) continue;
            const Structure& s = ontology_.structureById(static_cast<std::int32_t>(id));
            if (s.order != 0 && s.id == static_cast<std::int32_t>(id)) structures_.unite(s.selfSet);
        }
    } else if (is(name, "NisslSlice")) {
        readNisslSlice(attributes);
    } else if (is(name, "ClippingPlane")) {
        readClippingPlane(attributes);
    } else if (is(name, "ExpressionScoreThreshold")) {
        readThreshold(attributes, bookmark_.scoreLower, bookmark_.scoreUpper);
    } else if (is(name, "NumberOfExpressorsThreshold")) {
        readThreshold(attributes, bookmark_.countLower, bookmark_.countUpper);
    }
}

void BookmarksReader::readNisslSlice(const char** attributes) {
    int orientation = -1;
    float location = -1.0f;
    for (const char** a = attributes; a[0]; a += 2) {
        if (is(a[0], "orientation")) {
            orientation = orientationOf(a[1]);
            if (orientation < 0) break;
        } else if (is(a[0], "location")) {
            location = parseBookmarkNumber(a[1]);
        }
    }
    if (orientation < 0 || !(location >= 0.0f)) return;
    bookmark_.sliceVisible[orientation] = 1;
    bookmark_.sliceLocation[orientation] = location;
    bookmark_.settings |= Bookmark::AtlasSections;
}

void BookmarksReader::readClippingPlane(const char** attributes) {
    int orientation = -1;
    float lower = -1.0f, upper = -1.0f;
    for (const char** a = attributes; a[0]; a += 2) {
        if (is(a[0], "orientation")) {
            orientation = orientationOf(a[1]);
            if (orientation < 0) break;
        } else if (is(a[0], "lower")) {
            lower = parseBookmarkNumber(a[1]);
        } else if (is(a[0], "upper")) {
            upper = parseBookmarkNumber(a[1]);
        }
    }
    if (orientation < 0 || !(lower >= 0.0f) || !(upper >= 0.0f)) return;
    bookmark_.clipping[2 * orientation] = lower;
    bookmark_.clipping[2 * orientation + 1] = upper;
    bookmark_.settings |= Bookmark::ClippingPlanes;
}

void BookmarksReader::readThreshold(const char** attributes, float& lower, float& upper) {
    lower = 0.0f;
    upper = -1.0f;
    for (const char** a = attributes; a[0]; a += 2) {
        if (is(a[0], "lower"))
            lower = parseBookmarkNumber(a[1]);
        else if (is(a[0], "upper"))
            upper = parseBookmarkNumber(a[1]);
    }
    bookmark_.settings |= Bookmark::ExpressionThresholds;
}

void BookmarksReader::endElement(const char* name) {
    if (is(name, "BookmarkGroup")) {
        if (groups_.size() > 1) groups_.pop_back();
    } else if (is(name, "Bookmark")) {
        adapter_->addBookmark(bookmark_, groups_.back());
    } else if (is(name, "ExpressionFilter")) {
        bookmark_.expressionFilter = structures_;
        bookmark_.settings |= Bookmark::ExpressionFilter;
    } else if (is(name, "AtlasStructures")) {
        bookmark_.atlasStructures = structures_;
        bookmark_.settings |= Bookmark::AtlasStructures;
    } else if (is(name, "Rotation")) {
        const auto pieces = splitAtSpaces(text_);
        if (pieces.size() >= 4)
            for (int i = 0; i < 4; ++i)
                bookmark_.rotation[i] = parseBookmarkNumber(pieces[i].c_str());
        bookmark_.settings |= Bookmark::ViewAngle;
    } else if (is(name, "Origin")) {
        const auto pieces = splitAtSpaces(text_);
        if (pieces.size() >= 3)
            for (int i = 0; i < 3; ++i)
                bookmark_.origin[i] = parseBookmarkNumber(pieces[i].c_str());
        bookmark_.settings |= Bookmark::ViewAngle;
    } else if (is(name, "Zoom")) {
        bookmark_.zoom = parseBookmarkNumber(text_.c_str());
        bookmark_.settings |= Bookmark::ViewZoom;
    }
}

void BookmarksReader::characterData(const char* text, std::size_t length) { text_.append(text, length); }

} // namespace volumira

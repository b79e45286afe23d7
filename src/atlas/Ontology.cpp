#include "atlas/Ontology.h"

#include "platform/FileUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace volumira {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kMinFields = 8;
constexpr std::size_t kIndexColumn = 6, kIdColumn = 7, kCentreColumn = 9;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

// Reads a field the way strtol does (leading blanks, a sign, digits up to the first non-digit), but
// saturates at the int32 limits instead of overflowing. Empty when there are no digits.
std::optional<std::int32_t> leadingInteger(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    if (i == s.size() || !isDigit(s[i])) return std::nullopt;
    constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < s.size() && isDigit(s[i]); ++i)
        value = std::min(value * 10 + (s[i] - '0'), kCap);
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::int32_t integerField(std::string_view s) {
    return leadingInteger(s).value_or(0);
}

// The leading decimal number of a field, 0 when there is none. Independent of the C locale, which a
// GUI toolkit may have switched to one with a decimal comma; infinities and NaN are no place to centre on.
float decimalField(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    if (i < s.size() && s[i] == '+') {
        ++i;
        if (i < s.size() && s[i] == '-') return 0.0f;
    }
    float value = 0.0f;
    const auto result = std::from_chars(s.data() + i, s.data() + s.size(), value);
    return result.ec == std::errc{} && std::isfinite(value) ? value : 0.0f;
}

} // namespace

Ontology::Ontology(const std::string& path) : slots_(std::make_unique<std::array<Structure, kSlotCount>>()) {
    read(path);
}

Ontology::Ontology() : slots_(std::make_unique<std::array<Structure, kSlotCount>>()) {}

void Ontology::read(const std::string& path) {
    std::fstream in;
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) openFileStream(in, path, std::ios::in | std::ios::binary);
    if (!in.is_open()) throw std::runtime_error("Error while opening ontology file: " + path);
    if (in.peek() == std::char_traits<char>::eof()) return; // an empty file: 256 default slots, count 0

    char head[3] = {};
    in.read(head, 3);
    if (std::string_view(head, static_cast<std::size_t>(in.gcount())) != kByteOrderMark) {
        in.clear();
        in.seekg(0);
    }

    const std::string unexpected = "Unexpected line while reading ontology file: " + path;
    std::array<std::string, kSlotCount> parentAcronyms;
    count_ = 1;
    int n = 1;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string_view> fields = splitFields(line);
        if (fields.size() < kMinFields) throw std::runtime_error(unexpected);
        if (++count_ > kSlotCount)
            throw std::runtime_error("Expected number of structures exceeded while reading ontology file: " +
                                     path);
        const auto i = static_cast<std::uint8_t>(checkedIndex(fields[kIndexColumn], n, path));
        Structure& s = (*slots_)[i];
        s.name = fields[0];
        s.acronym = fields[1];
        s.index = i;
        // Colours keep their low byte, as the colour maps do.
        s.red = static_cast<std::uint8_t>(integerField(fields[3]));
        s.green = static_cast<std::uint8_t>(integerField(fields[4]));
        s.blue = static_cast<std::uint8_t>(integerField(fields[5]));
        s.id = integerField(fields[kIdColumn]);
        s.order = n;
        for (std::size_t axis = 0; axis < 3 && kCentreColumn + axis < fields.size(); ++axis)
            s.centre[axis] = decimalField(fields[kCentreColumn + axis]);
        byAcronym_[s.acronym] = &s;
        byId_[s.id] = &s;
        parentAcronyms[i] = fields[2];
        indexOfOrder_[n] = i;
        orderOfIndex_[i] = static_cast<std::uint8_t>(n);
        nameOrder_.push_back(i);
        ++n;
    }
    if (in.bad()) throw std::runtime_error("Error while opening ontology file: " + path);

    // "No Annotation" takes the order after the last line, kept in one byte: after 255 lines it is 0.
    orderOfIndex_[0] = static_cast<std::uint8_t>(n);
    Structure& none = (*slots_)[0];
    none.selfSet.set(orderOfIndex_[0]);
    none.ancestorSet = none.subtreeSet = none.selfSet;

    std::stable_sort(nameOrder_.begin(), nameOrder_.end(), [this](std::uint8_t a, std::uint8_t b) {
        return (*slots_)[a].name < (*slots_)[b].name; // char_traits<char> compares bytes as unsigned
    });
    nameOrder_.push_back(0);

    linkParents(parentAcronyms, path);
    computeSets();
}

int Ontology::checkedIndex(std::string_view field, int line, const std::string& path) const {
    const std::string onLine = " on line " + std::to_string(line);
    const std::string inFile = " in ontology file: " + path;
    const std::optional<std::int32_t> index = leadingInteger(field);
    if (!index || *index < 0 || *index >= kSlotCount)
        throw std::runtime_error("Structure index \"" + std::string(field) + "\"" + onLine +
                                 " is not a number from 1 to 255" + inFile);
    // Slot 0 holds the voxels outside every structure and answers unknown IDs: a line taking it would
    // give the outside of the brain a name, a colour and an ID, and list it twice in the name order.
    if (*index == 0)
        throw std::runtime_error("Structure index 0" + onLine + " is kept for \"No Annotation\"" + inFile);
    // One annotation value is one structure. Letting a later line overwrite the slot would drop the
    // first line's structure while its ID and acronym still found the slot, so a bookmark naming it
    // would silently come back as the other structure and be saved as such.
    if (const int first = orderOfIndex_[static_cast<std::size_t>(*index)]; first != 0)
        throw std::runtime_error("Structure index " + std::to_string(*index) + onLine +
                                 " was already given on line " + std::to_string(first) + inFile);
    return *index;
}

void Ontology::linkParents(const std::array<std::string, kSlotCount>& parentAcronyms,
                           const std::string& path) {
    for (int j = 0; j < kSlotCount; ++j) {
        if (parentAcronyms[j].empty()) continue;
        const auto found = byAcronym_.find(parentAcronyms[j]);
        if (found == byAcronym_.end())
            throw std::runtime_error("Unknown parent structure \"" + parentAcronyms[j] +
                                     "\" in ontology file: " + path);
        Structure& parent = (*slots_)[found->second->index];
        (*slots_)[j].parent = &parent;
        parent.children.push_back(&(*slots_)[j]);
    }
    // A structure that is its own ancestor would send the walk below round in circles. A chain without
    // a cycle passes through each slot at most once.
    for (const Structure& s : *slots_) {
        int hops = 0;
        for (const Structure* p = s.parent; p; p = p->parent)
            if (++hops >= kSlotCount)
                throw std::runtime_error("Unexpected line while reading ontology file: " + path);
    }
}

void Ontology::computeSets() {
    // Without a line for slot 1 there is no tree, and nothing gets a set from the walk.
    if ((*slots_)[1].order != 0) walk((*slots_)[1], StructureSet{});
}

StructureSet Ontology::walk(Structure& s, const StructureSet& inherited) {
    const int bit = orderOfIndex_[s.index];
    s.ancestorSet = inherited;
    StructureSet withSelf = inherited;
    withSelf.set(bit);
    for (const Structure* c : s.children) {
        Structure& child = (*slots_)[c->index];
        s.subtreeSet.unite(walk(child, withSelf));
        s.childSet.unite(child.selfSet);
    }
    s.ancestorSet.set(bit);
    s.subtreeSet.set(bit);
    s.selfSet.set(bit);
    return s.subtreeSet;
}

const Structure& Ontology::structureAt(int index) const {
    if (index < 0 || index >= kSlotCount)
        throw std::invalid_argument("Structure index out of range: " + std::to_string(index));
    return (*slots_)[index];
}

const Structure& Ontology::structureById(std::int32_t id) const {
    const auto found = byId_.find(id);
    return found == byId_.end() ? (*slots_)[0] : *found->second;
}

const Structure& Ontology::structureByOrder(int order) const {
    if (order < 0 || static_cast<std::size_t>(order) >= nameOrder_.size()) return (*slots_)[0];
    return (*slots_)[indexOfOrder_[order]];
}

const Structure& Ontology::structureByNamePosition(int position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= nameOrder_.size()) return (*slots_)[0];
    return (*slots_)[nameOrder_[position]];
}

const Structure* Ontology::structureByAcronym(const std::string& acronym) const {
    const auto found = byAcronym_.find(acronym);
    return found == byAcronym_.end() ? nullptr : found->second;
}

void Ontology::structuresIn(const StructureSet& set, std::vector<const Structure*>& result) const {
    result.clear();
    for (const Structure& s : *slots_)
        if (s.selfSet.intersects(set)) result.push_back(&s);
}

StructureSet Ontology::searchableStructures() const {
    static constexpr std::array<int, 11> kSearchableSlots{3, 8, 24, 35, 49, 100, 62, 128, 165, 189, 224};
    StructureSet set;
    for (int slot : kSearchableSlots)
        set.unite((*slots_)[static_cast<std::size_t>(slot)].selfSet);
    return set;
}

} // namespace volumira

#pragma once

#include "atlas/Structure.h"
#include "atlas/StructureSet.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace volumira {

// The structure tree of the reference atlas, read from "ontology.csv": 256 slots indexed by annotation
// value, slot 0 being "No Annotation", with lookups by ID, acronym, file order and name order.
class Ontology {
  public:
    static constexpr int kSlotCount = 256;

    // Reads the file; throws std::runtime_error with the user-visible message on failure.
    explicit Ontology(const std::string& path);
    // No structures: 256 default slots, as an empty file gives.
    Ontology();

    // Structures point at each other; the slots live on the heap so that moving keeps them valid.
    Ontology(Ontology&&) noexcept = default;
    Ontology& operator=(Ontology&&) noexcept = default;
    Ontology(const Ontology&) = delete;
    Ontology& operator=(const Ontology&) = delete;

    // The slot of an annotation value 0..255; throws std::invalid_argument outside that range.
    const Structure& structureAt(int index) const;
    // The structure whose line carries this ID, else slot 0.
    const Structure& structureById(std::int32_t id) const;
    // The structure of the order-th line; slot 0 for 0 and for orders at or beyond count().
    const Structure& structureByOrder(int order) const;
    // The position-th entry of nameOrder(); slot 0 beyond its end.
    const Structure& structureByNamePosition(int position) const;
    // Null when no line has this acronym.
    const Structure* structureByAcronym(const std::string& acronym) const;
    // Clears result, then appends in index order every structure whose own bit is in the set.
    void structuresIn(const StructureSet& set, std::vector<const Structure*>& result) const;
    // The own bits of the major brain divisions that gene searches can be restricted to.
    StructureSet searchableStructures() const;

    // Lines read plus one for "No Annotation"; 0 for an empty file.
    int count() const { return count_; }
    // Slot 1, the top of the tree.
    const Structure& root() const { return (*slots_)[1]; }
    // Structure indices sorted by name, followed by 0 ("No Annotation").
    const std::vector<std::uint8_t>& nameOrder() const { return nameOrder_; }

  private:
    void read(const std::string& path);
    // The slot a line's index column names, 1..255 and not named by an earlier line; otherwise throws a
    // message naming the line.
    int checkedIndex(std::string_view field, int line, const std::string& path) const;
    void linkParents(const std::array<std::string, kSlotCount>& parentAcronyms, const std::string& path);
    void computeSets();
    StructureSet walk(Structure& s, const StructureSet& inherited);

    std::unique_ptr<std::array<Structure, kSlotCount>> slots_;
    std::unordered_map<std::string, const Structure*> byAcronym_;
    std::unordered_map<std::int32_t, const Structure*> byId_;
    // Order number of each slot (0 for empty ones) and the slot of each order number, one byte each.
    std::array<std::uint8_t, kSlotCount> orderOfIndex_{};
    std::array<std::uint8_t, kSlotCount> indexOfOrder_{};
    std::vector<std::uint8_t> nameOrder_;
    int count_ = 0;
};

} // namespace volumira

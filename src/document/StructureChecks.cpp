#include "document/StructureChecks.h"

#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"

namespace volumira {

namespace {

void apply(StructureSet& set, const StructureSet& bits, bool on) {
    for (int bit = 0; bit < StructureSet::kBitCount; ++bit)
        if (bits.contains(bit)) set.set(bit, on);
}

} // namespace

bool toggleShownStructure(BrainExpressionModel& model, const Structure& structure, StructureTreeKind tree,
                          bool control) {
    StructureSet shown = model.shownStructures();
    const bool on = !shown.intersects(structure.selfSet);
    if (tree == StructureTreeKind::Hierarchical && control) {
        // The family is the parent's children; the root has none and changes nothing.
        if (!structure.parent) return false;
        apply(shown, structure.parent->childSet, on);
    } else {
        apply(shown, structure.selfSet, on);
    }
    model.setShownStructures(shown, true);
    return on;
}

void toggleExpressionStructure(BrainExpressionModel& model, const Structure& structure, StructureTreeKind tree,
                               bool control) {
    StructureSet filter = model.expressionStructures();
    const bool on = !filter.intersects(structure.selfSet);
    if (tree == StructureTreeKind::Hierarchical && control) {
        if (!structure.parent) return;
        apply(filter, structure.parent->childSet, on);
    } else {
        apply(filter, tree == StructureTreeKind::Hierarchical ? structure.subtreeSet : structure.selfSet, on);
    }
    model.setExpressionStructures(filter, true);
}

} // namespace volumira

#include "document/SelectionCommands.h"

#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"

namespace volumira {

const Structure* enclosingStructureOf(const BrainExpressionModel& model) {
    if (const ExpressionCell* cell = model.selectedCell()) {
        const Structure* s = cell->structure;
        return s && s->index != 0 ? s : nullptr;
    }
    const Structure* highlighted = model.highlightedStructure();
    return highlighted ? highlighted->parent : nullptr;
}

bool canShowEnclosingStructure(const BrainExpressionModel& model) {
    if (model.selectedCell()) return true;
    const Structure* highlighted = model.highlightedStructure();
    return highlighted && highlighted->parent;
}

bool showEnclosingStructure(BrainExpressionModel& model) {
    const Structure* s = enclosingStructureOf(model);
    if (!s) return false;
    StructureSet shown = model.shownStructures();
    if (shown.intersects(s->selfSet)) return false;
    shown.unite(s->selfSet);
    model.setShownStructures(shown, false);
    model.selectCell(nullptr, nullptr, false);
    model.setHighlightedStructure(s, true);
    return true;
}

std::optional<std::array<float, 3>> selectionCentre(const BrainExpressionModel& model) {
    if (const ExpressionCell* cell = model.selectedCell()) return std::array<float, 3>{cell->x, cell->y, cell->z};
    const Structure* highlighted = model.highlightedStructure();
    if (highlighted && model.shownStructures().intersects(highlighted->selfSet)) return highlighted->centre;
    return std::nullopt;
}

} // namespace volumira

#pragma once

#include <array>
#include <optional>

namespace volumira {

class BrainExpressionModel;
struct Structure;

// Show Enclosing Structure: with a selected cell, its structure; else the parent of the highlighted
// structure. Null when there is neither, or the cell lies in no annotated structure.
const Structure* enclosingStructureOf(const BrainExpressionModel& model);
// Whether the command has something to work on (a selected cell, or a highlighted structure with a parent).
bool canShowEnclosingStructure(const BrainExpressionModel& model);
// Adds the enclosing structure to the shown ones, clears the cell selection and highlights the structure.
// Nothing when there is none or it is shown already; returns whether the model changed.
bool showEnclosingStructure(BrainExpressionModel& model);

// Where Center on Selection centres: the selected cell, else the highlighted structure's centre when that
// structure is shown; nothing otherwise.
std::optional<std::array<float, 3>> selectionCentre(const BrainExpressionModel& model);

} // namespace volumira

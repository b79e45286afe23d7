#pragma once

namespace volumira {

class BrainExpressionModel;
struct Structure;

// Which structure tree a click came from: the hierarchical one acts on families, the alphabetical one on
// single structures.
enum class StructureTreeKind { Alphabetical, Hierarchical };

// The "A" box of a structure's row: shows or hides it (with Ctrl in the hierarchical tree, together with
// all its siblings). Returns whether the row should be selected (the structure was turned on).
bool toggleShownStructure(BrainExpressionModel& model, const Structure& structure, StructureTreeKind tree,
                          bool control);
// The "G" box: filters the structure's expression in or out (its whole subtree in the hierarchical tree;
// with Ctrl there, the structure and its siblings).
void toggleExpressionStructure(BrainExpressionModel& model, const Structure& structure, StructureTreeKind tree,
                               bool control);

} // namespace volumira

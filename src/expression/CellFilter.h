#pragma once

#include "atlas/StructureSet.h"

#include <array>

namespace volumira {

class BrainExpressionModel;
class ColourMap;
struct ExpressionCell;
struct Structure;

// Gene colour modes of the model.
enum GeneColourMode { kColourGene = 0, kColourAtlas = 1, kColourLevel = 2, kColourJet = 3 };

// The two level tables of the reference atlas that expression is coloured with.
struct LevelColourTables {
    const ColourMap& expressionLevels;
    const ColourMap& jet;

    // The process-wide atlas's tables.
    static LevelColourTables ofAtlas();
    // The table of colour modes 2 and 3; null for the other modes.
    const ColourMap* forMode(int mode) const;
};

// What decides whether a cell is drawn, read from the model once per pass: the structure filter, the
// level and expressor-count thresholds (a negative maximum is unbounded) and the clipping box.
struct CellFilter {
    StructureSet structures;
    float minLevel = 0.0f, maxLevel = -1.0f;
    int minCount = 0, maxCount = -1;
    std::array<float, 3> low{}, high{};

    static CellFilter ofModel(const BrainExpressionModel& model);
    bool includesStructure(const Structure* structure) const;
    // Thresholds and clipping box; the structure is tested per group.
    bool inRanges(const ExpressionCell& cell) const;
};

// The integer level that indexes the colour tables.
int tableLevel(float level);
// True when the table entry the level maps to is black: such cells are never drawn in modes 2 and 3.
bool isBlackLevel(const ColourMap& table, float level);

// Whether the cell is drawn under the model's current filters and colour mode.
bool isCellShown(const BrainExpressionModel& model, const LevelColourTables& tables,
                 const ExpressionCell& cell);
bool isCellShown(const BrainExpressionModel& model, const ExpressionCell& cell);
// The same with the table of the model's colour mode given, or none: then no level is hidden by colour.
bool isCellShown(const BrainExpressionModel& model, const ColourMap* modeTable, const ExpressionCell& cell);

} // namespace volumira

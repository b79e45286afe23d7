#include "expression/CellFilter.h"

#include "atlas/ColourMap.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"

namespace volumira {

LevelColourTables LevelColourTables::ofAtlas() {
    const ReferenceAtlas& atlas = ReferenceAtlas::instance();
    return {atlas.expressionColourMap(), atlas.jetColourMap()};
}

const ColourMap* LevelColourTables::forMode(int mode) const {
    if (mode == kColourLevel) return &expressionLevels;
    if (mode == kColourJet) return &jet;
    return nullptr;
}

CellFilter CellFilter::ofModel(const BrainExpressionModel& model) {
    CellFilter f;
    f.structures = model.expressionStructures();
    model.levelThreshold(f.minLevel, f.maxLevel);
    float minCount = 0.0f, maxCount = -1.0f;
    model.expressorThreshold(minCount, maxCount);
    f.minCount = static_cast<int>(minCount);
    f.maxCount = static_cast<int>(maxCount);
    for (int axis = 0; axis < 3; ++axis) {
        f.low[axis] = model.clippingPlane(axis, true);
        f.high[axis] = model.clippingPlane(axis, false);
    }
    return f;
}

bool CellFilter::includesStructure(const Structure* structure) const {
    return structure != nullptr && structure->selfSet.intersects(structures);
}

bool CellFilter::inRanges(const ExpressionCell& cell) const {
    if (cell.level < minLevel || (maxLevel >= 0.0f && cell.level > maxLevel)) return false;
    const int count = cell.expressors;
    if (count < minCount || (maxCount >= 0 && count > maxCount)) return false;
    const float position[3] = {cell.x, cell.y, cell.z};
    for (int axis = 0; axis < 3; ++axis)
        if (position[axis] < low[axis] || position[axis] > high[axis]) return false;
    return true;
}

int tableLevel(float level) {
    // Compare before converting: levels far outside the table would overflow an int.
    if (!(level > 0.0f)) return 0;
    if (level >= 255.0f) return 255;
    return static_cast<int>(level);
}

bool isBlackLevel(const ColourMap& table, float level) {
    const auto& data = table.data();
    const int i = tableLevel(level) * 3;
    return data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 0;
}

bool isCellShown(const BrainExpressionModel& model, const ColourMap* modeTable, const ExpressionCell& cell) {
    const CellFilter filter = CellFilter::ofModel(model);
    if (!filter.includesStructure(cell.structure) || !filter.inRanges(cell)) return false;
    return modeTable == nullptr || !isBlackLevel(*modeTable, cell.level);
}

bool isCellShown(const BrainExpressionModel& model, const LevelColourTables& tables,
                 const ExpressionCell& cell) {
    return isCellShown(model, tables.forMode(model.geneColourMode()), cell);
}

bool isCellShown(const BrainExpressionModel& model, const ExpressionCell& cell) {
    return isCellShown(model, LevelColourTables::ofAtlas(), cell);
}

} // namespace volumira

#include "render/ExpressorStyle.h"

#include "atlas/ColourMap.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"

#include <algorithm>

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

float expressorSize(const ExpressionCell& cell) {
    return static_cast<float>(std::min<int>(cell.expressors, 20)) / 20.0f;
}

bool isSelectableStructure(const Structure& structure) {
    return structure.index != 0 && structure.order > 0;
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

bool isCellShown(const BrainExpressionModel& model, const LevelColourTables& tables,
                 const ExpressionCell& cell) {
    const CellFilter filter = CellFilter::ofModel(model);
    if (!filter.includesStructure(cell.structure) || !filter.inRanges(cell)) return false;
    const ColourMap* table = tables.forMode(model.geneColourMode());
    return table == nullptr || !isBlackLevel(*table, cell.level);
}

bool isCellShown(const BrainExpressionModel& model, const ExpressionCell& cell) {
    return isCellShown(model, LevelColourTables::ofAtlas(), cell);
}

std::array<float, 3> structureColour(const Structure& structure) {
    return {structure.red / 255.0f, structure.green / 255.0f, structure.blue / 255.0f};
}

ExpressorColourer::ExpressorColourer(int mode, bool fast, const ColourMap* table,
                                     const std::array<float, 3>& geneColour)
    : mode_(mode), fast_(fast), table_(table), geneColour_(geneColour) {}

void ExpressorColourer::startGroup(const Structure* structure) {
    lastLevel_ = -1;
    visible_ = true;
    structureColour_ = structure ? structureColour(*structure) : std::array<float, 3>{};
}

bool ExpressorColourer::decide(float level, bool& colourChanged) {
    colourChanged = false;
    const int v = tableLevel(level);
    if (v == lastLevel_) return visible_;
    lastLevel_ = v;
    const float w = static_cast<float>(v) / 255.0f;
    float scale = 0.0f;
    const std::array<float, 3>* base = nullptr;
    std::array<float, 3> entry{};
    if (table_ != nullptr) {
        const auto& data = table_->data();
        visible_ = data[v * 3] != 0 || data[v * 3 + 1] != 0 || data[v * 3 + 2] != 0;
        if (!visible_) return false;
        entry = {data[v * 3] / 255.0f, data[v * 3 + 1] / 255.0f, data[v * 3 + 2] / 255.0f};
        base = &entry;
        scale = fast_ ? w : 1.0f;
    } else if (fast_ && mode_ == kColourAtlas) {
        base = &structureColour_;
        scale = w * 0.7f;
    } else if (fast_) {
        base = &geneColour_;
        scale = w;
    }
    visible_ = true;
    if (base != nullptr) {
        for (int c = 0; c < 3; ++c)
            colour_[c] = (*base)[c] * scale;
        colourChanged = true;
    }
    return true;
}

} // namespace volumira

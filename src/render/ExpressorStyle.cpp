#include "render/ExpressorStyle.h"

#include "atlas/ColourMap.h"
#include "atlas/Structure.h"
#include "expression/ExpressionCell.h"

#include <algorithm>

namespace volumira {

float expressorSize(const ExpressionCell& cell) {
    return static_cast<float>(std::min<int>(cell.expressors, 20)) / 20.0f;
}

bool isSelectableStructure(const Structure& structure) {
    return structure.index != 0 && structure.order > 0;
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

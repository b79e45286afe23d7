#include "render/ThresholdPlot.h"

#include "atlas/ColourMap.h"
#include "atlas/Structure.h"
#include "expression/GeneExpression.h"
#include "render/ExpressorStyle.h"
#include "render/ThresholdWindow.h"

#include <algorithm>
#include <cstring>

namespace volumira {

namespace {

constexpr int kSize = ThresholdGeometry::kPlotSize;

void putPixel(std::uint8_t* pixels, int column, int row, const std::uint8_t bgr[3]) {
    std::uint8_t* p = pixels + (static_cast<std::size_t>(row) * kSize + column) * 4;
    p[0] = bgr[0];
    p[1] = bgr[1];
    p[2] = bgr[2];
    p[3] = 255;
}

} // namespace

void rasterThresholdPlot(const GeneExpression& gene, const ColourMap& table, int baseLevel,
                         std::uint8_t* pixels, std::minstd_rand& random) {
    std::memset(pixels, 0, static_cast<std::size_t>(kSize) * kSize * 4);
    const float levelSpan = static_cast<float>(ThresholdGeometry::kTopLevel - baseLevel);
    std::uniform_int_distribution<int> coin(0, 32767);
    for (const GeneExpression::StructureCells& group : gene.structureCells()) {
        if (group.cells.empty()) continue;
        std::uint8_t bgr[3] = {160, 160, 160};
        if (group.structure && isSelectableStructure(*group.structure)) {
            bgr[0] = group.structure->blue;
            bgr[1] = group.structure->green;
            bgr[2] = group.structure->red;
        }
        for (const ExpressionCell* cell : group.cells) {
            const float x = cell->areaSpanned >= 0.5f ? cell->expressors + 0.9f
                                                      : cell->expressors + 2.0f * cell->areaSpanned;
            const float y = cell->level - static_cast<float>(baseLevel);
            // Clamp in floating point first: levels far off the plot would overflow an int.
            const float columnF = std::clamp(
                x * ThresholdGeometry::kPlotWidth / ThresholdGeometry::kTopCount + 0.5f, -1.0f, 1000.0f);
            const float rowF = std::clamp(y * kSize / levelSpan + 0.5f, -1000.0f, 1000.0f);
            const int column = std::clamp(static_cast<int>(columnF), 0, ThresholdGeometry::kPlotWidth - 1);
            const int row = std::clamp(kSize - static_cast<int>(rowF) - 1, 0, kSize - 1);
            const std::uint8_t* existing = pixels + (static_cast<std::size_t>(row) * kSize + column + 5) * 4;
            if (existing[0] == 0 || coin(random) / 32767.0f >= 0.5f) putPixel(pixels, column + 5, row, bgr);
        }
    }
    const auto& data = table.data();
    for (int r = 0; r < kSize; ++r) {
        const int level =
            std::clamp(static_cast<int>(baseLevel + (kSize - r - 1) * levelSpan / kSize), 0, 255);
        const std::uint8_t bgr[3] = {data[level * 3 + 2], data[level * 3 + 1], data[level * 3]};
        for (int c = 0; c < 4; ++c)
            putPixel(pixels, c, r, bgr);
    }
}

} // namespace volumira

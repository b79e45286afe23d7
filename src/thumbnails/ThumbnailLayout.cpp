#include "thumbnails/ThumbnailLayout.h"

#include "atlas/Structure.h"
#include "render/ExpressorStyle.h"

#include <algorithm>
#include <cmath>

namespace volumira {

ThumbnailLayout ThumbnailLayout::of(int width, int height, const std::array<int, 3>& grid, int stripHeight) {
    ThumbnailLayout l;
    l.scale = width <= 700 ? 0.75f : 1.0f;
    // Wide enough for the brain at any turn about the vertical axis.
    const double diagonal = std::sqrt(static_cast<double>(grid[0]) * grid[0] + static_cast<double>(grid[2]) * grid[2]);
    l.thumbnailWidth = static_cast<int>(diagonal * l.scale);
    l.thumbnailHeight = static_cast<int>(grid[1] * l.scale);
    l.columnWidth = l.thumbnailWidth + 170;
    l.rowHeight = std::max(l.thumbnailHeight + 5, 85);
    const int top = height - l.rowHeight - stripHeight - kThumbnailBandHeight;
    for (int i = 0; i < kThumbnailSlots; ++i)
        l.slotCorners[static_cast<std::size_t>(i)] = {5 + (i / kThumbnailRows) * l.columnWidth,
                                                top - (i % kThumbnailRows) * l.rowHeight};
    return l;
}

int ThumbnailLayout::slotAt(int x, int windowY, int stripHeight) const {
    const int below = windowY - stripHeight - kThumbnailBandHeight;
    if (x < 0 || below < 0 || columnWidth <= 0 || rowHeight <= 0) return -1;
    const int column = x / columnWidth, row = below / rowHeight;
    if (column > 1 || row >= kThumbnailRows) return -1;
    return column * kThumbnailRows + row;
}

std::vector<ThumbnailGroup> thumbnailGroups(const std::vector<GeneExpression::StructureCells>& groups) {
    std::vector<ThumbnailGroup> out;
    for (const GeneExpression::StructureCells& group : groups) {
        if (!group.structure || !isSelectableStructure(*group.structure)) continue;
        const std::array<float, 3> colour = structureColour(*group.structure);
        ThumbnailGroup g;
        g.structure = group.structure;
        for (const ExpressionCell* cell : group.cells) {
            const int count = cell->expressors;
            if (count <= 4) continue;
            const float a = count > 25 ? 1.0f : static_cast<float>(count - 5) / 25.0f;
            g.points.push_back({cell->x, cell->y, cell->z, colour[0] * 0.8f, colour[1] * 0.8f, colour[2] * 0.8f,
                                std::min(8.5f * a, 1.0f)});
        }
        out.push_back(std::move(g));
    }
    return out;
}

} // namespace volumira

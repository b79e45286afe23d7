#pragma once

// The arithmetic of drawing the thumbnail page: the page layout and the points of a thumbnail's cloud.

#include "expression/GeneExpression.h"
#include "thumbnails/ThumbnailEntry.h"

#include <array>
#include <vector>

namespace volumira {

struct Structure;

// The slots of a page stand in two columns of five.
inline constexpr int kThumbnailRows = 5;
// Height of the header band and of the status bar.
inline constexpr int kThumbnailBandHeight = 26;

struct ThumbnailLayout {
    float scale = 1.0f;
    int thumbnailWidth = 0, thumbnailHeight = 0;
    int columnWidth = 0, rowHeight = 0;
    // The lower-left corner of each slot's row in overlay coordinates (y upwards).
    std::array<std::array<int, 2>, kThumbnailSlots> slotCorners{};

    // grid: the coarse atlas dimensions; stripHeight: the tab strip's height when it is shown, else 0.
    static ThumbnailLayout of(int width, int height, const std::array<int, 3>& grid, int stripHeight);
    // The slot under a window point (y downwards); -1 when none.
    int slotAt(int x, int windowY, int stripHeight) const;
};

// One point of a thumbnail's cloud: coarse grid position and colour with alpha.
struct ThumbnailPoint {
    float x = 0, y = 0, z = 0;
    float red = 0, green = 0, blue = 0, alpha = 0;
};

struct ThumbnailGroup {
    const Structure* structure = nullptr;
    std::vector<ThumbnailPoint> points;
};

// The cloud of a thumbnail: one group per structure group of the data whose structure is selectable,
// points in the structure's colour x 0.8 with alpha min(8.5 a, 1) (a = 1 above 25 expressors, else
// (count - 5) / 25); cells of 4 or fewer expressors are left out.
std::vector<ThumbnailGroup> thumbnailGroups(const std::vector<GeneExpression::StructureCells>& groups);

} // namespace volumira

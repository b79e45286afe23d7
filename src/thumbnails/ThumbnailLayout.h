#pragma once

// The arithmetic of the thumbnail page without GL: the page layout, the points of a thumbnail's cloud
// and the texts of a slot.

#include "expression/GeneExpression.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace volumira {

struct Structure;

// Slots of one page: two columns of five.
inline constexpr int kThumbnailSlots = 10;
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

// What a slot shows of a list entry, copied so that the slot never reaches into a list that may have
// been cleared.
struct ThumbnailEntry {
    std::string name, symbol, condition, fileUrl;
    std::int32_t imageSeriesId = 0, experimentId = 0, geneId = 0;
    std::int32_t plane = -1, probeOrientation = -1, fileSize = 0;
    float score = -1.0f;
    bool available = true;

    static ThumbnailEntry of(const GeneExpression& gene);
    // The file's path on the grid server when the entry names one without a scheme; empty otherwise.
    std::string gridPath() const;
};

// Three lines: the symbol (when there is one), the name, then plane, score and strand as far as known,
// each led by " - " (" - coronal - 0.500 - antisense"); the third line is empty when none is known.
std::string thumbnailDescription(const ThumbnailEntry& entry);
// "123 KB" (bytes / 1024 rounded), or empty for an unknown size.
std::string thumbnailSizeText(std::int32_t bytes);

} // namespace volumira

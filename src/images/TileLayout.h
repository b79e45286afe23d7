#pragma once

#include "render/TextureImage.h"

#include <vector>

namespace volumira {

// The geometry of a Zoomify pyramid: level 0 is the whole image in one tile, each level doubles the size of
// the one before, and the last level is the full resolution.
class ZoomifyPyramid {
  public:
    static constexpr int kDefaultTileSize = 256;
    // Tiles are numbered level by level and row by row; each folder "TileGroupN" holds this many.
    static constexpr int kTilesPerGroup = 256;

    // Sizes that are not positive give an empty pyramid (no levels).
    ZoomifyPyramid(int width, int height, int tileSize = kDefaultTileSize);

    int width() const { return width_; }
    int height() const { return height_; }
    int tileSize() const { return tileSize_; }
    int levelCount() const { return levels_; }
    // The size of a level, halved (rounding down) once per level below the last.
    int levelWidth(int level) const;
    int levelHeight(int level) const;
    int tilesAcross(int level) const;
    int tilesDown(int level) const;
    // The folder number of a tile.
    int tileGroup(int level, int x, int y) const;

  private:
    int width_ = 0, height_ = 0, tileSize_ = kDefaultTileSize, levels_ = 0;
};

// One tile of the shown level that falls into the panel: where it is in the grid, the part of it that shows
// (tile pixels, y down) and where that goes (panel pixels, y down from the panel's top).
struct VisibleTile {
    int column = 0, row = 0;
    PixelRect source, destination;
};

// Which level a panel shows and which of its tiles it needs around a point of interest.
struct TileLayout {
    int level = 0;
    // Full-resolution pixels per pixel of the shown level.
    int divisor = 1;
    int scaledWidth = 0, scaledHeight = 0;
    int tilesAcross = 0, tilesDown = 0;
    std::vector<VisibleTile> tiles;
};

// The panel shows the level a quarter of full resolution across, centred on (centreX, centreY) in
// full-resolution pixels. A pyramid of fewer than three levels has no such level: it shows level 0, its
// smallest, at that level's own scale.
TileLayout layoutTiles(const ZoomifyPyramid& pyramid, int panelWidth, int panelHeight, int centreX, int centreY);

} // namespace volumira

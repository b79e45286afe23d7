#include "images/TileLayout.h"

#include <algorithm>
#include <cmath>

namespace volumira {

namespace {

int ceilDiv(int a, int b) { return (a + b - 1) / b; }
int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

} // namespace

ZoomifyPyramid::ZoomifyPyramid(int width, int height, int tileSize)
    : width_(width), height_(height), tileSize_(tileSize > 0 ? tileSize : kDefaultTileSize) {
    if (width_ <= 0 || height_ <= 0) {
        width_ = height_ = 0;
        return;
    }
    const double m = std::max(std::log2(static_cast<double>(height_) / tileSize_),
                              std::log2(static_cast<double>(width_) / tileSize_));
    // An image that fits one tile is a pyramid of one level.
    levels_ = m <= 0 ? 1 : static_cast<int>(std::floor(m)) + 1 + (m != std::floor(m) ? 1 : 0);
}

int ZoomifyPyramid::levelWidth(int level) const {
    const int shift = levels_ - 1 - level;
    return shift >= 0 && shift < 31 ? width_ >> shift : 0;
}

int ZoomifyPyramid::levelHeight(int level) const {
    const int shift = levels_ - 1 - level;
    return shift >= 0 && shift < 31 ? height_ >> shift : 0;
}

int ZoomifyPyramid::tilesAcross(int level) const { return ceilDiv(levelWidth(level), tileSize_); }
int ZoomifyPyramid::tilesDown(int level) const { return ceilDiv(levelHeight(level), tileSize_); }

int ZoomifyPyramid::tileGroup(int level, int x, int y) const {
    long long index = 0;
    for (int l = 0; l < level && l < levels_; ++l)
        index += static_cast<long long>(tilesAcross(l)) * tilesDown(l);
    index += static_cast<long long>(y) * tilesAcross(level) + x;
    return static_cast<int>(index / kTilesPerGroup);
}

TileLayout layoutTiles(const ZoomifyPyramid& pyramid, int panelWidth, int panelHeight, int centreX, int centreY) {
    TileLayout layout;
    if (pyramid.levelCount() == 0 || panelWidth <= 0 || panelHeight <= 0) return layout;
    layout.level = std::max(0, pyramid.levelCount() - 3);
    layout.divisor = 1 << (pyramid.levelCount() - 1 - layout.level);
    layout.scaledWidth = pyramid.levelWidth(layout.level);
    layout.scaledHeight = pyramid.levelHeight(layout.level);
    layout.tilesAcross = pyramid.tilesAcross(layout.level);
    layout.tilesDown = pyramid.tilesDown(layout.level);

    const int ts = pyramid.tileSize();
    const int left = centreX / layout.divisor - panelWidth / 2;
    const int top = centreY / layout.divisor - panelHeight / 2;
    const int right = left + panelWidth, bottom = top + panelHeight;
    const int firstColumn = std::clamp(floorDiv(left, ts), 0, layout.tilesAcross - 1);
    const int lastColumn = std::clamp(floorDiv(right, ts), 0, layout.tilesAcross - 1);
    const int firstRow = std::clamp(floorDiv(top, ts), 0, layout.tilesDown - 1);
    const int lastRow = std::clamp(floorDiv(bottom, ts), 0, layout.tilesDown - 1);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            // The part of the tile inside both the level and the panel, in level pixels.
            const int x0 = std::max(column * ts, left), x1 = std::min({(column + 1) * ts, layout.scaledWidth, right});
            const int y0 = std::max(row * ts, top), y1 = std::min({(row + 1) * ts, layout.scaledHeight, bottom});
            if (x1 <= x0 || y1 <= y0) continue;
            VisibleTile tile;
            tile.column = column;
            tile.row = row;
            tile.source = {x0 - column * ts, y0 - row * ts, x1 - x0, y1 - y0};
            tile.destination = {x0 - left, y0 - top, x1 - x0, y1 - y0};
            layout.tiles.push_back(tile);
        }
    }
    return layout;
}

} // namespace volumira

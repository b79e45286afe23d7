#pragma once

// Zoomify pyramids of the section images of every series and of the atlas plates, drawn from the
// sample anatomy when a tile is asked for and kept in a small cache.

#include "volumira-server/Catalogue.h"
#include "volumira-server/GridFiles.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

namespace volumira::server {

inline constexpr int kTileSize = 256;

// The standard Zoomify layout: level 0 is the whole image in one tile, each level doubles the size.
struct ZoomifyLayout {
    int width = 0, height = 0, levels = 0;
    ZoomifyLayout(int w, int h);
    int levelWidth(int level) const { return width >> (levels - 1 - level); }
    int levelHeight(int level) const { return height >> (levels - 1 - level); }
    int tilesAcross(int level) const { return (levelWidth(level) + kTileSize - 1) / kTileSize; }
    int tilesDown(int level) const { return (levelHeight(level) + kTileSize - 1) / kTileSize; }
    int tileCount() const;
    // The tile's number counted level by level and row by row; its group is this divided by 256.
    int tileIndex(int level, int x, int y) const;
};

struct PyramidImage {
    enum class Kind { CoronalPlate, SagittalPlate, Section, SectionExpression };
    Kind kind = Kind::Section;
    int width = 0, height = 0;
    double positionMm = 0; // coronal: distance from the front; sagittal: distance from the midline
    const SeriesRecord* series = nullptr;
};

class Pyramids {
  public:
    Pyramids(const Catalogue& catalogue, GridFiles& grids);

    // The image with this path, or none.
    std::optional<PyramidImage> find(const std::string& path) const;
    // "ImageProperties.xml".
    static std::string properties(const PyramidImage& image);
    // A tile as JPEG; none when the level, position or group (when not negative) do not exist.
    std::shared_ptr<const std::string> tile(const std::string& path, const PyramidImage& image, int group,
                                            int level, int x, int y);

  private:
    std::string render(const PyramidImage& image, int level, int x, int y);

    const Catalogue& catalogue_;
    GridFiles& grids_;
    std::mutex mutex_;
    std::map<std::tuple<std::string, int, int, int>, std::shared_ptr<const std::string>> tiles_;
};

} // namespace volumira::server

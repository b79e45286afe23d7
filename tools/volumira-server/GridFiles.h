#pragma once

// Grid files generated on request from a series' expression pattern, kept in a small cache.

#include "volumira-server/Catalogue.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace volumira {
class Image3d;
class Ontology;
} // namespace volumira

namespace volumira::server {

// Levels of a grid file request.
inline constexpr int kThumbnailLevel = 0;     // coarse grid, every other slice
inline constexpr int kFullThumbnailLevel = 1; // coarse grid, every slice
inline constexpr int kDownloadLevel = 2;      // current generation with cells and section images

class GridFiles {
  public:
    // The ontology gives the structures of the cells that the current generation is read with.
    GridFiles(const Catalogue& catalogue, const Ontology& ontology);
    ~GridFiles();
    GridFiles(const GridFiles&) = delete;
    GridFiles& operator=(const GridFiles&) = delete;

    // The file of a series at a level; throws std::invalid_argument for an unknown level.
    std::shared_ptr<const std::string> file(const SeriesRecord& series, int level);
    // Size of the series' download file.
    std::int32_t downloadSize(const SeriesRecord& series);
    // The expressor counts of the series on the coarse grid.
    std::shared_ptr<const std::vector<std::uint8_t>> expression(const SeriesRecord& series);

  private:
    std::string currentGeneration(const SeriesRecord& series, const std::vector<std::uint8_t>& grid);

    const Catalogue& catalogue_;
    const Ontology& ontology_;
    std::unique_ptr<Image3d> annotation_;
    std::string scratch_; // directory for the writer's files
    std::mutex mutex_;
    std::map<std::pair<int, int>, std::shared_ptr<const std::string>> files_; // (series, level)
    std::map<int, std::shared_ptr<const std::vector<std::uint8_t>>> grids_;
    std::map<int, std::int32_t> sizes_;
    std::uint64_t scratchCounter_ = 0;
};

} // namespace volumira::server

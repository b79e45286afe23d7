#include "volumira-server/GridFiles.h"

#include "atlas/Ontology.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "expression/GridFileWriter.h"
#include "io/Image3d.h"
#include "io/MemoryStream.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace volumira::server {

namespace {

// Generated files kept in memory; beyond these, the lowest series ids are dropped first.
constexpr std::size_t kCachedFiles = 64, kCachedGrids = 32;

// Expressing cells counted in one grid cell: the level scaled to the 1..35 cells a 100 µm cube holds, so
// that the counts spread over the threshold plot and the shapes' sizes rather than all exceeding them,
// and varied by a factor of 0.6 to 1.4 fixed per voxel, as cells of one level hold more or fewer.
int expressorCount(int level, int voxel) {
    const std::uint32_t hash = static_cast<std::uint32_t>(voxel) * 2654435761u;
    const double factor = 0.6 + 0.8 * static_cast<double>(hash >> 16) / 65536.0;
    return std::clamp(static_cast<int>(level * 35.0 / 255.0 * factor + 0.5), 1, 35);
}

template <typename Map> void trim(Map& map, std::size_t limit) {
    while (map.size() > limit)
        map.erase(map.begin());
}

// The third file generation, the simplest that carries cells with levels and section pixels and the
// section images; the gene reads it and writes the current generation.
class Version3Writer {
  public:
    void int32(std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xffu));
    }
    void uint16(int v) {
        bytes_.push_back(static_cast<char>(v & 0xff));
        bytes_.push_back(static_cast<char>((v >> 8) & 0xff));
    }
    void real(float v) { int32(static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(v))); }
    void text(const std::string& s) {
        bytes_.push_back(static_cast<char>(std::min<std::size_t>(s.size(), 255)));
        bytes_.append(s, 0, std::min<std::size_t>(s.size(), 255));
    }
    void zeros(std::size_t n) { bytes_.append(n, '\0'); }
    std::string& bytes() { return bytes_; }

  private:
    std::string bytes_;
};

} // namespace

GridFiles::GridFiles(const Catalogue& catalogue, const Ontology& ontology)
    : catalogue_(catalogue), ontology_(ontology),
      annotation_(std::make_unique<Image3d>(sample::kCoarseX, sample::kCoarseY, sample::kCoarseZ, 100.0f)) {
    const auto& labels = sample::coarseAnatomy().label;
    std::copy(labels.begin(), labels.end(), annotation_->data());
    const auto dir =
        std::filesystem::temp_directory_path() / ("volumira-server-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(dir);
    scratch_ = dir.string();
}

GridFiles::~GridFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
}

std::shared_ptr<const std::vector<std::uint8_t>> GridFiles::expression(const SeriesRecord& series) {
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = grids_.find(series.imageSeriesId); found != grids_.end()) return found->second;
    }
    auto grid = std::make_shared<const std::vector<std::uint8_t>>(
        sample::expressionGrid(catalogue_.geneOf(series).pattern, series.realisation));
    const std::lock_guard lock(mutex_);
    grids_[series.imageSeriesId] = grid;
    trim(grids_, kCachedGrids);
    return grid;
}

std::string GridFiles::currentGeneration(const SeriesRecord& series, const std::vector<std::uint8_t>& grid) {
    const GeneRecord& gene = catalogue_.geneOf(series);
    std::vector<int> voxels;
    for (int v = 0; v < sample::kCoarseVoxels; ++v)
        if (grid[static_cast<std::size_t>(v)] > 4) voxels.push_back(v);

    Version3Writer w;
    w.int32(3);
    w.zeros(8);
    std::int32_t header[14] = {};
    header[GeneExpression::kHeaderExperimentId] = series.experimentId;
    header[GeneExpression::kHeaderImageSeriesId] = series.imageSeriesId;
    header[GeneExpression::kHeaderGeneId] = series.geneId;
    header[GeneExpression::kHeaderPlane] = series.plane;
    header[GeneExpression::kHeaderProbeOrientation] = series.probeOrientation;
    for (const std::int32_t v : header)
        w.int32(v);
    w.zeros(4);
    w.int32(static_cast<std::int32_t>(series.sections.size()));
    w.int32(static_cast<std::int32_t>(voxels.size()));
    w.zeros(8);
    for (const std::string& s : {gene.name, gene.symbol, std::string(), std::string(), std::string()})
        w.text(s);
    w.zeros(4);
    for (const sample::CatalogueSection& c : series.sections) {
        for (const int v : {c.section, c.imageId, c.width, c.height})
            w.int32(v);
        w.text(c.primaryPath);
        w.text(c.expressionPath);
    }
    const int sectionCount = static_cast<int>(series.sections.size());
    for (const int v : voxels) {
        const int value = grid[static_cast<std::size_t>(v)];
        const sample::SectionPoint at = sample::sectionPointOf(series.plane, sectionCount, v);
        const float area = static_cast<float>(value) / 255.0f;
        w.int32(v + 1);
        w.zeros(4);
        w.real(2.0f * std::sqrt(area * 100.0f / 3.14159265f)); // diameter of a disc covering the area
        w.real(area);
        w.zeros(24);
        w.real(static_cast<float>(value));
        w.zeros(34);
        w.uint16(at.section);
        w.uint16(at.x);
        w.uint16(at.y);
        w.uint16(expressorCount(value, v));
        w.zeros(2);
    }

    MemoryStream stream(w.bytes().size());
    stream.write(w.bytes().data(), w.bytes().size());
    stream.seek(0);
    const GeneExpression expression(stream, ExpressionAtlas(*annotation_, ontology_));

    std::string path;
    {
        const std::lock_guard lock(mutex_);
        path = scratch_ + "/" + std::to_string(++scratchCounter_) + ".xpr";
    }
    expression.saveExpression(path);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::filesystem::remove(path);
    if (bytes.empty()) throw std::runtime_error("The expression file could not be generated.");
    return bytes;
}

std::shared_ptr<const std::string> GridFiles::file(const SeriesRecord& series, int level) {
    if (level < kThumbnailLevel || level > kDownloadLevel)
        throw std::invalid_argument("Unknown grid file level " + std::to_string(level) + ".");
    const std::pair<int, int> key{series.imageSeriesId, level};
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = files_.find(key); found != files_.end()) return found->second;
    }
    const auto grid = expression(series);
    std::shared_ptr<const std::string> made;
    if (level == kDownloadLevel) {
        made = std::make_shared<const std::string>(currentGeneration(series, *grid));
    } else {
        const std::int32_t size = downloadSize(series);
        const std::vector<std::uint8_t> bytes = writeGridFile(*grid, level == kThumbnailLevel, size);
        made = std::make_shared<const std::string>(bytes.begin(), bytes.end());
    }
    const std::lock_guard lock(mutex_);
    if (level == kDownloadLevel) sizes_[series.imageSeriesId] = static_cast<std::int32_t>(made->size());
    files_[key] = made;
    trim(files_, kCachedFiles);
    return made;
}

std::int32_t GridFiles::downloadSize(const SeriesRecord& series) {
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = sizes_.find(series.imageSeriesId); found != sizes_.end()) return found->second;
    }
    return static_cast<std::int32_t>(file(series, kDownloadLevel)->size());
}

} // namespace volumira::server

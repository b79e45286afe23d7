#include "sample-data/SampleAtlas.h"

#include "atlas/AtlasGrid.h"
#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "io/Image3d.h"
#include "sample-data/Anatomy.h"
#include "sample-data/ColourScales.h"
#include "sample-data/GeneData.h"
#include "sample-data/SurfaceMesh.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace volumira::sample {

namespace {

std::uint32_t voxelHash(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ (z + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

class Steps {
  public:
    explicit Steps(std::ostream* log) : log_(log), start_(std::chrono::steady_clock::now()) {}
    void say(const std::string& what) {
        if (!log_) return;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        *log_ << std::fixed << std::setprecision(1) << "[" << seconds << " s] " << what << std::endl;
    }

  private:
    std::ostream* log_;
    std::chrono::steady_clock::time_point start_;
};

struct Volumes {
    Image3d labels, nissl;
};

// Samples the model at every fine voxel centre. Each voxel depends on its position only, so the
// slabs can be filled by as many threads as there are cores without changing a byte.
Volumes rasterise(const SampleGrid& grid) {
    // Plain names rather than a structured binding: the lambda below captures them.
    const int nx = grid.fine[0], ny = grid.fine[1], nz = grid.fine[2];
    Volumes v{Image3d(nx, ny, nz, static_cast<float>(grid.fineMm * 1000)),
              Image3d(nx, ny, nz, static_cast<float>(grid.fineMm * 1000))};
    const double mm = grid.fineMm, halfWidth = nz * mm / 2;
    const auto fill = [&](int zBegin, int zEnd) {
        for (int k = zBegin; k < zEnd; ++k)
            for (int j = 0; j < ny; ++j) {
                const std::size_t row =
                    static_cast<std::size_t>(k) * nx * ny + static_cast<std::size_t>(j) * nx;
                for (int i = 0; i < nx; ++i) {
                    // Both sides are computed from the same distance to the midline, so the
                    // halves are exact mirror images, noise included.
                    const int mirroredK = std::min(k, nz - 1 - k);
                    const double lateral = halfWidth - (mirroredK + 0.5) * mm;
                    const Sample s =
                        sampleAt((i + 0.5) * mm, (j + 0.5) * mm, k == mirroredK ? -lateral : lateral,
                                 voxelHash(i, j, mirroredK));
                    v.labels.data()[row + i] = s.label;
                    v.nissl.data()[row + i] = s.nissl;
                }
            }
    };
    const int threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back(fill, nz * t / threads, nz * (t + 1) / threads);
    for (auto& w : workers)
        w.join();
    return v;
}

// Each coarse voxel takes the most frequent label of the fine voxels it covers, the lower label
// on a tie; blocks past the fine grid's end count only their fine voxels, and none give 0.
Image3d coarsen(const Image3d& fine, const SampleGrid& grid) {
    const auto [cx, cy, cz] = grid.coarse;
    Image3d coarse(cx, cy, cz, static_cast<float>(grid.fineMm * 4000));
    const int fx = fine.dimension(0), fy = fine.dimension(1), fz = fine.dimension(2);
    std::array<int, 256> counts{};
    for (int k = 0; k < cz; ++k)
        for (int j = 0; j < cy; ++j)
            for (int i = 0; i < cx; ++i) {
                counts.fill(0);
                for (int c = 4 * k; c < std::min(4 * k + 4, fz); ++c)
                    for (int b = 4 * j; b < std::min(4 * j + 4, fy); ++b)
                        for (int a = 4 * i; a < std::min(4 * i + 4, fx); ++a)
                            ++counts[fine.data()[a + static_cast<std::size_t>(b) * fx +
                                                 static_cast<std::size_t>(c) * fx * fy]];
                const auto best = std::max_element(counts.begin(), counts.end());
                coarse.data()[i + static_cast<std::size_t>(j) * cx + static_cast<std::size_t>(k) * cx * cy] =
                    *best ? static_cast<std::uint8_t>(best - counts.begin()) : 0;
            }
    return coarse;
}

struct LabelStats {
    std::size_t count = 0;
    double sum[3] = {0, 0, 0};
    int lo[3] = {1 << 30, 1 << 30, 1 << 30}, hi[3] = {-1, -1, -1};
};

std::array<LabelStats, 256> labelStats(const Image3d& labels) {
    std::array<LabelStats, 256> stats{};
    const int nx = labels.dimension(0), ny = labels.dimension(1), nz = labels.dimension(2);
    const std::uint8_t* v = labels.data();
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const std::uint8_t l = *v++;
                if (!l) continue;
                LabelStats& s = stats[l];
                ++s.count;
                const int at[3] = {i, j, k};
                for (int a = 0; a < 3; ++a) {
                    s.sum[a] += at[a] + 0.5;
                    s.lo[a] = std::min(s.lo[a], at[a]);
                    s.hi[a] = std::max(s.hi[a], at[a]);
                }
            }
    return stats;
}

// The labels of a structure and everything below it.
std::vector<int> subtreeLabels(const StructureInfo& root) {
    std::vector<int> labels{root.index};
    for (std::size_t i = 0; i < labels.size(); ++i)
        for (const StructureInfo& s : sampleStructures())
            for (const StructureInfo& parent : sampleStructures())
                if (parent.index == labels[i] && s.parent == parent.acronym) labels.push_back(s.index);
    return labels;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("Could not write " + path.string());
}

std::string ontologyText(const std::array<LabelStats, 256>& stats, double fineToScene) {
    std::ostringstream csv;
    csv << std::setprecision(6);
    for (const StructureInfo& s : sampleStructures()) {
        // The centre of the whole subtree, in scene (coarse voxel) units.
        double sum[3] = {0, 0, 0};
        std::size_t count = 0;
        for (int label : subtreeLabels(s)) {
            count += stats[label].count;
            for (int a = 0; a < 3; ++a)
                sum[a] += stats[label].sum[a];
        }
        csv << s.name << ',' << s.acronym << ',' << s.parent << ',' << s.rgb[0] << ',' << s.rgb[1] << ','
            << s.rgb[2] << ',' << s.index << ',' << s.id << ",0";
        for (int a = 0; a < 3; ++a)
            csv << ',' << (count ? sum[a] / count * fineToScene : 0.0);
        csv << "\r\n";
    }
    return csv.str();
}

std::string searchDomainsText() {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SearchDomains version=\"1\">\n";
    const auto domains = [&] {
        for (const StructureInfo& s : sampleStructures())
            if (s.depthForSearch >= 0)
                xml << "    <Domain id=\"" << s.id << "\" indent=\"" << s.depthForSearch << "\"/>\n";
    };
    xml << "  <AnatomicSearch>\n";
    domains();
    xml << "  </AnatomicSearch>\n  <Corrana coronal=\"true\" sagittal=\"true\">\n";
    domains();
    xml << "  </Corrana>\n</SearchDomains>\n";
    return xml.str();
}

// Plate number, and pixel on the plate, for each coarse voxel: the nearest sagittal plate within a
// plate spacing's half, for voxels inside the brain.
void writeSagittalMap(const std::string& path, const Image3d& coarse, const SampleGrid& grid) {
    const int cx = coarse.dimension(0), cy = coarse.dimension(1), cz = coarse.dimension(2);
    const std::size_t n = coarse.voxelCount();
    std::vector<std::uint8_t> plates(n, atlas::kNoSagittalPlate), xs(2 * n, 0), ys(2 * n, 0);
    const double coarseMm = grid.fineMm * 4, midline = grid.fine[2] * grid.fineMm / 2;
    for (int k = 0; k < cz; ++k) {
        const double lateral = std::abs((k + 0.5) * coarseMm - midline);
        int plate = static_cast<int>(std::lround((lateral - sagittalPlateLateralMm(0)) / 0.2));
        if (plate < 0 || plate >= atlas::kSagittalPlateCount ||
            std::abs(lateral - sagittalPlateLateralMm(plate)) > 0.1 + 1e-9)
            continue;
        for (int j = 0; j < cy; ++j)
            for (int i = 0; i < cx; ++i) {
                const std::size_t at =
                    i + static_cast<std::size_t>(j) * cx + static_cast<std::size_t>(k) * cx * cy;
                if (!coarse.data()[at]) continue;
                plates[at] = static_cast<std::uint8_t>(plate);
                // Plates show 1.9 µm per pixel.
                const auto px = static_cast<std::uint16_t>((i + 0.5) * coarseMm * 1000 / 1.9);
                const auto py = static_cast<std::uint16_t>((j + 0.5) * coarseMm * 1000 / 1.9);
                xs[2 * at] = static_cast<std::uint8_t>(px),
                       xs[2 * at + 1] = static_cast<std::uint8_t>(px >> 8);
                ys[2 * at] = static_cast<std::uint8_t>(py),
                       ys[2 * at + 1] = static_cast<std::uint8_t>(py >> 8);
            }
    }
    FileStream out(path, FileStream::Mode::WriteBinary);
    writeCompressedBlock(out, plates.data(), plates.size());
    writeCompressedBlock(out, xs.data(), xs.size());
    writeCompressedBlock(out, ys.data(), ys.size());
    out.close();
}

// One closed surface per structure: the isosurface of its whole subtree, cut out of the grid
// around the subtree's voxels to keep the work small.
void writeMeshes(const std::filesystem::path& directory, const Image3d& labels,
                 const std::array<LabelStats, 256>& stats, const SampleGrid& grid) {
    std::filesystem::create_directories(directory);
    const int nx = labels.dimension(0), ny = labels.dimension(1);
    std::vector<std::uint8_t> mask;
    for (const StructureInfo& s : sampleStructures()) {
        std::array<bool, 256> member{};
        int lo[3] = {1 << 30, 1 << 30, 1 << 30}, hi[3] = {-1, -1, -1};
        for (int label : subtreeLabels(s)) {
            member[label] = true;
            if (!stats[label].count) continue;
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], stats[label].lo[a]);
                hi[a] = std::max(hi[a], stats[label].hi[a]);
            }
        }
        Mesh mesh;
        if (hi[0] >= 0) {
            const int size[3] = {hi[0] - lo[0] + 1, hi[1] - lo[1] + 1, hi[2] - lo[2] + 1};
            mask.assign(static_cast<std::size_t>(size[0]) * size[1] * size[2], 0);
            std::size_t at = 0;
            for (int k = lo[2]; k <= hi[2]; ++k)
                for (int j = lo[1]; j <= hi[1]; ++j) {
                    const std::uint8_t* row = labels.data() + static_cast<std::size_t>(k) * nx * ny +
                                              static_cast<std::size_t>(j) * nx;
                    for (int i = lo[0]; i <= hi[0]; ++i)
                        mask[at++] = member[row[i]];
                }
            mesh = buildSurfaceMesh({mask.data(), size[0], size[1], size[2]}, {grid.meshStep, 8});
            // Back to whole-grid fine voxel units.
            for (MeshVertex& v : mesh.vertices)
                for (int a = 0; a < 3; ++a)
                    v.position[a] += static_cast<float>(lo[a]);
        }
        // Meshes are in the full atlas's fine voxels whatever grid drew them.
        const float toFine = static_cast<float>(grid.fineMm / 0.025);
        if (toFine != 1.0f) mesh.scalePositions(toFine);
        mesh.writeMesh((directory / (s.acronym + ".msh")).string());
    }
}

} // namespace

void writeSampleAtlas(const std::string& directory, const SampleGrid& grid, std::ostream* log) {
    namespace fs = std::filesystem;
    const fs::path dir(directory);
    fs::create_directories(dir / "Colormaps");
    Steps steps(log);

    steps.say("drawing the brain on the " + std::to_string(grid.fine[0]) + " x " +
              std::to_string(grid.fine[1]) + " x " + std::to_string(grid.fine[2]) + " grid");
    const Volumes volumes = rasterise(grid);
    const Image3d coarse = coarsen(volumes.labels, grid);

    steps.say("writing the annotation and Nissl volumes");
    volumes.labels.writeRaw((dir / "Annotation25").string());
    coarse.writeRaw((dir / "Annotation100").string());
    if (!volumes.nissl.writeCompressed((dir / "Atlas25.comp").string()))
        throw std::runtime_error("Could not create " + (dir / "Atlas25.comp").string());
    writeSagittalMap((dir / "SagittalAtlasMap.comp").string(), coarse, grid);

    steps.say("writing the ontology, colour maps and search domains");
    const auto stats = labelStats(volumes.labels);
    writeText(dir / "ontology.csv", ontologyText(stats, 0.25 * grid.fineMm / 0.025));
    writeText(dir / "Colormaps" / "TSA.map", atlasColourMapText());
    writeText(dir / "Colormaps" / "Expression.map", heatColourMapText());
    writeText(dir / "Colormaps" / "Jet.map", jetColourMapText());
    writeText(dir / "SearchDomains.xml", searchDomainsText());

    steps.say("building " + std::to_string(sampleStructures().size()) + " structure surfaces");
    writeMeshes(dir / "Mesh25", volumes.labels, stats, grid);

    steps.say("writing the gene catalogue and the similarity database");
    writeGeneData(dir.string(), grid.coarse != SampleGrid::full().coarse);
    steps.say("done");
}

} // namespace volumira::sample

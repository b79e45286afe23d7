#include "volumira-server/Pyramids.h"

#include "atlas/AtlasGrid.h"
#include "sample-data/Anatomy.h"
#include "volumira-server/ColourJpeg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace volumira::server {

namespace {

constexpr const char* kCoronalPlatePrefix = "production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-";
constexpr const char* kSagittalPlatePrefix =
    "production1/KVRTReferenceAtlas/Sagittal_Annotated/zoomify/Atlas-Sagittal-";
constexpr const char* kPlateSuffix = ".aff";
constexpr double kPlateMicrometresPerPixel = 1.9;
// Sagittal plates show the whole atlas box from front to back.
constexpr int kSagittalPlateWidth = 7000, kSagittalPlateHeight = 4263;
constexpr std::size_t kCachedTiles = 2048;

bool cut(const std::string& text, const std::string& prefix, const std::string& suffix, std::string& middle) {
    if (text.size() <= prefix.size() + suffix.size() || text.compare(0, prefix.size(), prefix) != 0 ||
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    middle = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    return true;
}

// A point of the anatomy in millimetres: x from the front, y from the top, lateral from the midline.
struct Point {
    double x, y, lateral;
};

// Where full-resolution pixel (px, py) of the image lies.
Point pointOf(const PyramidImage& image, double px, double py) {
    switch (image.kind) {
    case PyramidImage::Kind::CoronalPlate: {
        // The inverse of the atlas's coronal plate lookup, in coarse voxels.
        const double side = (px * kPlateMicrometresPerPixel - 2838 * kPlateMicrometresPerPixel +
                             (atlas::kFineDims[2] - atlas::kBregma25[2] - 1) * atlas::kFineSpacing) /
                            atlas::kCoarseSpacing;
        const double z = atlas::kCoarseDims[2] - 1 - side;
        const double y = (py * kPlateMicrometresPerPixel - 579 * kPlateMicrometresPerPixel +
                          atlas::kBregma25[1] * atlas::kFineSpacing) /
                         atlas::kCoarseSpacing;
        return {image.positionMm, (y + 0.5) * 0.1, (z + 0.5) * 0.1 - sample::kBoxWidthMm / 2};
    }
    case PyramidImage::Kind::SagittalPlate:
        return {px * kPlateMicrometresPerPixel / 1000, py * kPlateMicrometresPerPixel / 1000,
                -image.positionMm};
    default: {
        const double mm = sample::kSectionMicrometresPerPixel / 1000;
        if (image.series->plane == 0) return {image.positionMm, py * mm, px * mm - sample::kBoxWidthMm / 2};
        return {px * mm, py * mm, -image.positionMm};
    }
    }
}

int voxelOf(const Point& p) {
    const int i = static_cast<int>(std::floor(p.x / 0.1)), j = static_cast<int>(std::floor(p.y / 0.1));
    const int k = static_cast<int>(std::floor((p.lateral + sample::kBoxWidthMm / 2) / 0.1));
    if (i < 0 || j < 0 || k < 0 || i >= sample::kCoarseX || j >= sample::kCoarseY || k >= sample::kCoarseZ)
        return -1;
    return i + sample::kCoarseX * (j + sample::kCoarseY * k);
}

std::array<std::array<std::uint8_t, 3>, 256> structureColours() {
    std::array<std::array<std::uint8_t, 3>, 256> colours{};
    for (const sample::StructureInfo& s : sample::sampleStructures())
        for (int c = 0; c < 3; ++c)
            colours[static_cast<std::size_t>(s.index)][static_cast<std::size_t>(c)] =
                static_cast<std::uint8_t>(s.rgb[static_cast<std::size_t>(c)]);
    return colours;
}

std::uint8_t byte(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

} // namespace

ZoomifyLayout::ZoomifyLayout(int w, int h) : width(w), height(h) {
    const double m = std::max(std::log2(static_cast<double>(h) / kTileSize),
                              std::log2(static_cast<double>(w) / kTileSize));
    levels = m <= 0 ? 1 : static_cast<int>(std::floor(m)) + 1 + (m != std::floor(m) ? 1 : 0);
}

int ZoomifyLayout::tileCount() const {
    int count = 0;
    for (int level = 0; level < levels; ++level)
        count += tilesAcross(level) * tilesDown(level);
    return count;
}

int ZoomifyLayout::tileIndex(int level, int x, int y) const {
    int index = 0;
    for (int l = 0; l < level; ++l)
        index += tilesAcross(l) * tilesDown(l);
    return index + y * tilesAcross(level) + x;
}

Pyramids::Pyramids(const Catalogue& catalogue, GridFiles& grids) : catalogue_(catalogue), grids_(grids) {}

std::optional<PyramidImage> Pyramids::find(const std::string& path) const {
    std::string middle;
    PyramidImage image;
    if (cut(path, kCoronalPlatePrefix, kPlateSuffix, middle)) {
        for (const int slice : atlas::kCoronalPlatePositions) {
            char name[16];
            std::snprintf(name, sizeof name, "%03d", slice);
            if (middle != name) continue;
            image.kind = PyramidImage::Kind::CoronalPlate;
            image.width = atlas::kCoronalPlateWidth;
            image.height = atlas::kCoronalPlateHeight;
            image.positionMm = (slice + 0.5) * atlas::kFineSpacing / 1000;
            return image;
        }
        return std::nullopt;
    }
    if (cut(path, kSagittalPlatePrefix, kPlateSuffix, middle)) {
        for (int plate = 0; plate < atlas::kSagittalPlateCount; ++plate) {
            if (middle != atlas::kSagittalPlateNames[static_cast<std::size_t>(plate)]) continue;
            image.kind = PyramidImage::Kind::SagittalPlate;
            image.width = kSagittalPlateWidth;
            image.height = kSagittalPlateHeight;
            image.positionMm = sample::sagittalPlateLateralMm(plate);
            return image;
        }
        return std::nullopt;
    }
    const SectionRef ref = catalogue_.sectionByPath(path);
    if (!ref.series) return std::nullopt;
    image.kind = ref.expression ? PyramidImage::Kind::SectionExpression : PyramidImage::Kind::Section;
    image.width = ref.section->width;
    image.height = ref.section->height;
    image.positionMm = ref.section->positionMm;
    image.series = ref.series;
    return image;
}

std::string Pyramids::properties(const PyramidImage& image) {
    const ZoomifyLayout layout(image.width, image.height);
    return "<IMAGE_PROPERTIES WIDTH=\"" + std::to_string(image.width) + "\" HEIGHT=\"" +
           std::to_string(image.height) + "\" NUMTILES=\"" + std::to_string(layout.tileCount()) +
           "\" NUMIMAGES=\"1\" VERSION=\"1.8\" TILESIZE=\"" + std::to_string(kTileSize) + "\" />";
}

std::shared_ptr<const std::string> Pyramids::tile(const std::string& path, const PyramidImage& image,
                                                  int group, int level, int x, int y) {
    const ZoomifyLayout layout(image.width, image.height);
    if (level < 0 || level >= layout.levels || x < 0 || y < 0 || x >= layout.tilesAcross(level) ||
        y >= layout.tilesDown(level))
        return nullptr;
    if (group >= 0 && group != layout.tileIndex(level, x, y) / 256) return nullptr;
    const auto key = std::make_tuple(path, level, x, y);
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = tiles_.find(key); found != tiles_.end()) return found->second;
    }
    auto made = std::make_shared<const std::string>(render(image, level, x, y));
    const std::lock_guard lock(mutex_);
    if (tiles_.size() >= kCachedTiles) tiles_.clear();
    tiles_[key] = made;
    return made;
}

std::string Pyramids::render(const PyramidImage& image, int level, int x, int y) {
    static const auto colours = structureColours();
    const ZoomifyLayout layout(image.width, image.height);
    const int w = std::min(kTileSize, layout.levelWidth(level) - x * kTileSize);
    const int h = std::min(kTileSize, layout.levelHeight(level) - y * kTileSize);
    const double scale = static_cast<double>(1 << (layout.levels - 1 - level));
    const bool section =
        image.kind == PyramidImage::Kind::Section || image.kind == PyramidImage::Kind::SectionExpression;
    std::shared_ptr<const std::vector<std::uint8_t>> grid;
    if (section) grid = grids_.expression(*image.series);
    const double micrometres = section ? sample::kSectionMicrometresPerPixel : kPlateMicrometresPerPixel;
    const auto seed = static_cast<std::uint32_t>(image.series ? image.series->imageSeriesId : 0);

    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            const double px = (x * kTileSize + u + 0.5) * scale, py = (y * kTileSize + v + 0.5) * scale;
            const Point p = pointOf(image, px, py);
            // Stained cells of about 5 µm.
            const auto cx = static_cast<std::uint32_t>(px * micrometres / 5),
                       cy = static_cast<std::uint32_t>(py * micrometres / 5);
            const sample::Sample s = sample::sampleAt(p.x, p.y, p.lateral, sample::mixHash(cx, cy));
            std::uint8_t* out = &rgb[(static_cast<std::size_t>(v) * w + u) * 3];
            const double stain = s.nissl / 255.0;
            if (!section) {
                if (!s.label) {
                    out[0] = out[1] = out[2] = 255;
                    continue;
                }
                const auto& c = colours[s.label];
                const double grey = 250 - 170 * stain;
                for (int k = 0; k < 3; ++k)
                    out[k] = byte(0.5 * c[static_cast<std::size_t>(k)] + 0.5 * grey);
                continue;
            }
            const int voxel = voxelOf(p);
            const double e = voxel >= 0 && s.label ? (*grid)[static_cast<std::size_t>(voxel)] / 255.0 : 0.0;
            // Labelled cells of about 12 µm, more of them where the expression is stronger.
            const std::uint32_t cell =
                sample::mixHash(sample::mixHash(static_cast<std::uint32_t>(px * micrometres / 12),
                                                static_cast<std::uint32_t>(py * micrometres / 12)),
                                seed);
            const bool labelled = e > 0 && (cell >> 8) / 16777216.0 < 0.35 + 0.5 * e;
            if (image.kind == PyramidImage::Kind::SectionExpression) {
                const double t = labelled ? 0.3 + 0.7 * e : 0.0;
                out[0] = byte(255 * 3 * t);
                out[1] = byte(255 * (3 * t - 1));
                out[2] = byte(255 * (3 * t - 2));
                continue;
            }
            if (!s.label) {
                out[0] = out[1] = out[2] = 240;
                continue;
            }
            double r = 236 - 90 * stain, g = 230 - 110 * stain, b = 238 - 60 * stain;
            if (labelled) {
                const double f = std::min(1.0, 0.35 + 0.65 * e);
                r += (45 - r) * f, g += (35 - g) * f, b += (95 - b) * f;
            }
            out[0] = byte(r), out[1] = byte(g), out[2] = byte(b);
        }
    return encodeRgbJpeg(rgb.data(), w, h);
}

} // namespace volumira::server

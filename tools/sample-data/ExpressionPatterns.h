#pragma once

// Gene expression drawn from the sample anatomy on the coarse atlas grid. A gene carries a small
// pattern (where it is expressed, how strongly, how densely, clustered or not); every image series of
// the gene realises it with its own noise, so grids are generated on request instead of stored.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace volumira::sample {

// The coarse grid of the atlas: 133 x 81 x 115 voxels of 100 µm, x fastest.
inline constexpr int kCoarseX = 133, kCoarseY = 81, kCoarseZ = 115;
inline constexpr int kCoarseVoxels = kCoarseX * kCoarseY * kCoarseZ;
// Sagittal series cut one hemisphere: the voxels with z below this.
inline constexpr int kHemisphereZ = 57;

// Cortical layers as the patterns name them: 1 = layer 1, 2 = layer 2/3, 4 = layer 4, 5, 6.
inline constexpr std::array<int, 5> kLayers = {1, 2, 4, 5, 6};

// What the patterns read at each coarse voxel, computed once from the anatomy model.
struct CoarseAnatomy {
    std::vector<std::uint8_t> label; // structure index, 0 outside the brain
    std::vector<std::uint8_t> layer; // cortical layer (1, 2, 4, 5, 6) in the isocortex, else 0
    std::vector<std::int32_t> brain; // voxel numbers inside the brain, ascending
    // ancestors[l]: the structure indices of label l and all its ancestors.
    std::array<std::vector<int>, 256> ancestors;
};
const CoarseAnatomy& coarseAnatomy();

// Structure index of an acronym of the sample ontology; -1 when there is none.
int structureIndexOf(const std::string& acronym);

// One rule of a pattern: inside the structure (and everything below it), optionally only in some
// cortical layers, a fraction `density` of the voxels express at `level` (0..1).
struct PatternRule {
    int structure = 0;    // structure index
    unsigned layers = 0;  // bit per layer number (1 << layer); 0 = every voxel
    float level = 0.0f;   // 0..1
    float density = 0.0f; // 0..1
};

struct ExpressionPattern {
    std::vector<PatternRule> rules;
    bool clustered = false;
};

// Text form, stored in the catalogue: rules separated by ";", each "ACRONYM[@LAYERS]=LEVEL/DENSITY",
// e.g. "Isocortex@245=0.6/0.3;CP=0.9/0.8". Throws std::invalid_argument for malformed text.
ExpressionPattern parsePattern(const std::string& text);
std::string patternText(const ExpressionPattern& pattern);

// How one image series realises its gene's pattern.
struct SeriesRealisation {
    std::uint32_t geneSeed = 0;   // shared by the gene's series: where its clusters lie
    std::uint32_t seriesSeed = 0; // the series' own noise
    float gain = 1.0f;            // probe strength; sense probes are weak
    bool sagittal = false;        // one hemisphere only
};

// Expressor count per coarse voxel (x fastest): 0 where nothing is expressed, else 5..255.
std::vector<std::uint8_t> expressionGrid(const ExpressionPattern& pattern, const SeriesRealisation& series);

// A 32-bit mix of two values, for deterministic noise.
std::uint32_t mixHash(std::uint32_t a, std::uint32_t b);

} // namespace volumira::sample

#pragma once

// The sample brain: a structure tree and a geometric model of where each structure lies, in
// millimetres. x runs from the front of the atlas box backwards, y from its top downwards, and
// z across the sides, 0 on the midline. Everything is left-right symmetric.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace volumira::sample {

struct StructureInfo {
    int index;              // annotation value and ontology slot
    int id;                 // structure id
    std::string name;       // no commas: the ontology file has no quoting
    std::string acronym;    // also the mesh file name
    std::string parent;     // acronym of the parent, empty for the root
    std::array<int, 3> rgb; // structure colour
    int depthForSearch;     // indent in the search domain lists, -1 when not listed
};

// All structures, parents before children, the root (index 1) first.
const std::vector<StructureInfo>& sampleStructures();

// What the model says about one point.
struct Sample {
    std::uint8_t label = 0; // structure index, 0 outside the brain
    std::uint8_t nissl = 0; // stain density, 0 where there is no tissue
};

// The structure and Nissl density at a point given in millimetres; `cellNoise` is a hash of the
// voxel, used for the fine-grained texture of stained cells.
Sample sampleAt(double x, double y, double z, std::uint32_t cellNoise);

// Width of the atlas box in millimetres across the sides; the midline lies at half of it.
inline constexpr double kBoxWidthMm = 11.4;

// Lateral distance (mm) of sagittal plate p, 0..20, from the midline.
double sagittalPlateLateralMm(int plate);

} // namespace volumira::sample

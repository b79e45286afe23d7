#pragma once

#include <array>
#include <iosfwd>
#include <string>

namespace volumira::sample {

// The grids the sample atlas is drawn on. The program fixes the full size; the small variant, a
// quarter of it along each axis, serves tests that do not load the atlas the way the program does.
struct SampleGrid {
    std::array<int, 3> fine = {528, 320, 456};
    std::array<int, 3> coarse = {133, 81, 115};
    double fineMm = 0.025; // edge of a fine voxel
    int meshStep = 2;      // fine voxels per surface sample

    static SampleGrid full() { return {}; }
    static SampleGrid small() { return {{132, 80, 114}, {34, 21, 29}, 0.1, 1}; }
};

// Writes the sample reference data directory: "Annotation100", "Annotation25", "Atlas25.comp",
// "SagittalAtlasMap.comp", "ontology.csv", "Colormaps/*.map", "Mesh25/<acronym>.msh" and
// "SearchDomains.xml", and the gene data "Catalogue.db" and "GLM.db". The same grid always gives the same
// bytes. Steps are reported on `log` when it is given.
void writeSampleAtlas(const std::string& directory, const SampleGrid& grid, std::ostream* log = nullptr);

} // namespace volumira::sample

#pragma once

#include <string>

namespace volumira::sample {

// Options of the sample atlas generator.
struct SampleAtlasOptions {
    bool small = false; // a much smaller variant for fast tests, where grid sizes are free
};

// Writes the sample reference data directory (volumes, ontology, colour maps, meshes, search domains).
void writeSampleAtlas(const std::string& directory, const SampleAtlasOptions& options);

} // namespace volumira::sample

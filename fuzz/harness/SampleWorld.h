#pragma once

// The sample data directory the harnesses that need an atlas or a catalogue read: VOLUMIRA_FUZZ_DATA when
// set, else a small sample atlas written once per process into a temporary directory.

#include "atlas/Ontology.h"
#include "io/Image3d.h"

#include <string>

namespace volumira::fuzz {

struct SampleWorld {
    std::string directory; // ends in "/"
    Ontology ontology;
    Image3d annotation; // the coarse annotation
};

const SampleWorld& sampleWorld();

} // namespace volumira::fuzz

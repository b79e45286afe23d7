#include "sample-data/SampleAtlas.h"

#include <stdexcept>

namespace volumira::sample {

void writeSampleAtlas(const std::string&, const SampleAtlasOptions&) {
    throw std::runtime_error("The sample atlas generator is not built yet.");
}

} // namespace volumira::sample

#pragma once

#include "io/Image3d.h"

namespace volumira::tool {

// A deterministic, brain-like test volume: a symmetric ellipsoidal envelope with a bright cortical
// rim, paler white matter, dark ventricles and fine noise. It gives the volume tools and benchmarks
// realistic content (JPEG cost depends on it) until generated atlas data exists.
Image3d makePhantom(int nx, int ny, int nz, float spacing);

} // namespace volumira::tool

#pragma once

#include <cstddef>
#include <cstdint>

namespace volumira {

// Moves a batch of decoded x slices into the volume. Slice b of the batch (planeSize = ny * nz bytes,
// pixel row r, column c) becomes voxels (firstX + b, c, r). Works in 16 x 16 byte tiles so that
// each volume row receives a whole run of consecutive x at once.
void scatterSlices(const std::uint8_t* batch, int count, int ny, int nz, std::uint8_t* voxels, int nx,
                   int firstX);

} // namespace volumira

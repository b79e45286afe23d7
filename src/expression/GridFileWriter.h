#pragma once

#include <cstdint>
#include <vector>

namespace volumira {

// Writes the coarse grid generation of the expression file (30001), the small form a thumbnail needs:
// one byte per coarse voxel (x fastest, 133 x 81 x 115), where values above 4 are expressor counts.
// With `everyOtherSlice` only the even z slices are stored. `fileSize` is the size of the full
// expression file that the thumbnail stands for.
std::vector<std::uint8_t> writeGridFile(const std::vector<std::uint8_t>& voxels, bool everyOtherSlice,
                                        std::int32_t fileSize);

} // namespace volumira

#include "expression/GridFileWriter.h"

#include "atlas/AtlasGrid.h"
#include "expression/GeneExpression.h"
#include "io/CompressedBlock.h"
#include "io/MemoryStream.h"

#include <stdexcept>

namespace volumira {

std::vector<std::uint8_t> writeGridFile(const std::vector<std::uint8_t>& voxels, bool everyOtherSlice,
                                        std::int32_t fileSize) {
    if (voxels.size() != static_cast<std::size_t>(atlas::kCoarseVoxelCount))
        throw std::invalid_argument("A grid file needs one value per coarse voxel.");
    const std::size_t sliceSize = static_cast<std::size_t>(atlas::kCoarseDims[0]) * atlas::kCoarseDims[1];
    const std::size_t step = everyOtherSlice ? 2 : 1, slices = atlas::kCoarseDims[2] / step;
    std::vector<std::uint8_t> kept;
    kept.reserve(slices * sliceSize);
    std::int32_t cells = 0;
    for (std::size_t s = 0; s < slices; ++s)
        for (std::size_t i = 0; i < sliceSize; ++i) {
            const std::uint8_t value = voxels[s * step * sliceSize + i];
            kept.push_back(value);
            cells += value > 4 ? 1 : 0;
        }

    // Room for the five values, both block lengths and zlib's worst case for stored data.
    MemoryStream out(5 * 4 + 8 + kept.size() + kept.size() / 64 + 64);
    out.writeInt32(static_cast<std::int32_t>(GeneExpression::kMagic));
    out.writeInt32(GeneExpression::kFormatGridWithSize);
    out.writeInt32(everyOtherSlice ? 1 : 0);
    out.writeInt32(fileSize);
    out.writeInt32(cells);
    writeCompressedBlock(out, kept.data(), kept.size());
    return {out.data(), out.data() + out.tell()};
}

} // namespace volumira

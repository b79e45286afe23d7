#pragma once

#include <cstdint>

namespace volumira {

struct Structure;

// One expressing cell of the coarse 100 µm grid. The first eight fields are the 24-byte record of the
// current file format, in file order; the rest is derived when the file is read.
struct ExpressionCell {
    // 1-based voxel number on the coarse grid: x + nx·y + nx·ny·z + 1.
    std::int32_t gridId = 0;
    float diameter = 0.0f;
    // Fraction of the grid cell's area covered by expression.
    float areaSpanned = 0.0f;
    // Expression level on a 0..255 scale.
    float level = 0.0f;
    // Section the cell was measured on; kUnknownSection when not known.
    std::uint16_t section = 0;
    // Pixel of the cell in that section image.
    std::uint16_t sectionX = 0;
    std::uint16_t sectionY = 0;
    // Number of expressing cells counted.
    std::uint16_t expressors = 0;
    // Coarse-grid coordinates of the voxel.
    float x = 0.0f, y = 0.0f, z = 0.0f;
    // The ontology structure containing the voxel; null until the gene has been read completely.
    const Structure* structure = nullptr;

    static constexpr std::uint16_t kUnknownSection = 255;
    // Bytes of one cell record in the current file format.
    static constexpr int kRecordSize = 24;
};

} // namespace volumira

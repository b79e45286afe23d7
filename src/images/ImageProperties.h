#pragma once

#include <cstddef>
#include <cstdint>

namespace volumira {

// What a pyramid's "ImageProperties.xml" says about the image.
struct ImageProperties {
    int width = 0, height = 0, tileCount = 0, tileSize = 256;
};

// Larger sides or tiles are refused: no server image comes near them, and the layout must stay in int range.
inline constexpr int kMaxPyramidSide = 1 << 20;
inline constexpr int kMaxTileSide = 4096;

// Reads the whole properties file. Throws std::runtime_error "Unexpected data in image properties." when the
// document is not one "IMAGE_PROPERTIES" element (any case), or when its width, height or tile size are
// missing, not decimal or out of range.
ImageProperties parseImageProperties(const std::uint8_t* data, std::size_t length);

} // namespace volumira

#pragma once

#include <cstdint>
#include <string>

namespace volumira::server {

// Encodes width * height RGB pixels (3 bytes each, rows top to bottom) as a baseline colour JPEG.
// Throws std::runtime_error with libjpeg's message on failure.
std::string encodeRgbJpeg(const std::uint8_t* rgb, int width, int height, int quality = 85);

} // namespace volumira::server

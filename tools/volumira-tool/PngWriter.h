#pragma once

#include <cstdint>
#include <string>

namespace volumira::tool {

// Writes an 8-bit grayscale PNG; throws a runtime error naming the path when it cannot.
void writeGrayPng(const std::string& path, const std::uint8_t* pixels, int width, int height);
// The same for 8-bit red, green, blue pixels.
void writeRgbPng(const std::string& path, const std::uint8_t* pixels, int width, int height);
// The same for a GL read-back: R, G, B, A bytes with the bottom row first.
void writeFramebufferPng(const std::string& path, const std::uint8_t* rgba, int width, int height);

} // namespace volumira::tool

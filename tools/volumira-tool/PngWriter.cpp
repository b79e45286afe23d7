#include "volumira-tool/PngWriter.h"

#include <cstring>
#include <png.h>
#include <stdexcept>
#include <vector>

namespace volumira::tool {

namespace {

void writePng(const std::string& path, const std::uint8_t* pixels, int width, int height, bool colour) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    if (!png_image_write_to_file(&image, path.c_str(), 0, pixels, colour ? 3 * width : width, nullptr)) {
        const std::string reason = image.message;
        png_image_free(&image);
        throw std::runtime_error("Could not write PNG file " + path + ": " + reason);
    }
}

} // namespace

void writeGrayPng(const std::string& path, const std::uint8_t* pixels, int width, int height) {
    writePng(path, pixels, width, height, false);
}

void writeRgbPng(const std::string& path, const std::uint8_t* pixels, int width, int height) {
    writePng(path, pixels, width, height, true);
}

void writeFramebufferPng(const std::string& path, const std::uint8_t* rgba, int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    // GL rows run bottom first; PNG rows top first.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
                    rgba[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4 + c];
    writeRgbPng(path, rgb.data(), width, height);
}

} // namespace volumira::tool

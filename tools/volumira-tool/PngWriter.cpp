#include "volumira-tool/PngWriter.h"

#include <cstring>
#include <png.h>
#include <stdexcept>

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

} // namespace volumira::tool

#include "volumira-tool/PngWriter.h"

#include <cstring>
#include <png.h>
#include <stdexcept>

namespace volumira::tool {

void writeGrayPng(const std::string& path, const std::uint8_t* pixels, int width, int height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_GRAY;
    if (!png_image_write_to_file(&image, path.c_str(), 0, pixels, width, nullptr)) {
        const std::string reason = image.message;
        png_image_free(&image);
        throw std::runtime_error("Could not write PNG file " + path + ": " + reason);
    }
}

} // namespace volumira::tool

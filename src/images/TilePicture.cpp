#include "images/TilePicture.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace volumira {

void BgraPicture::setSize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4, 0);
}

void BgraPicture::fill(std::uint8_t grey) {
    for (std::size_t i = 0; i < pixels_.size(); i += 4) {
        pixels_[i] = pixels_[i + 1] = pixels_[i + 2] = grey;
        pixels_[i + 3] = 255;
    }
}

void BgraPicture::clear() {
    width_ = height_ = 0;
    pixels_.clear();
}

void decodeTile(const std::vector<std::uint8_t>& bytes, BgraPicture& picture) {
    if (!decodeJpegToBgra(bytes.data(), bytes.size(), picture)) throw std::runtime_error("Empty tile.");
}

void copyPixels(const BgraPicture& from, int fromX, int fromY, BgraPicture& to, int toX, int toY, int width,
                int height) {
    // Clip against both pictures: a tile may be smaller than its place in the grid says (edge tiles, or a
    // server that crops differently).
    if (fromX < 0) width += fromX, toX -= fromX, fromX = 0;
    if (fromY < 0) height += fromY, toY -= fromY, fromY = 0;
    if (toX < 0) width += toX, fromX -= toX, toX = 0;
    if (toY < 0) height += toY, fromY -= toY, toY = 0;
    width = std::min({width, from.width() - fromX, to.width() - toX});
    height = std::min({height, from.height() - fromY, to.height() - toY});
    if (width <= 0 || height <= 0) return;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* source =
            from.pixels() + (static_cast<std::size_t>(fromY + row) * from.width() + fromX) * 4;
        std::uint8_t* destination = to.pixels() + (static_cast<std::size_t>(toY + row) * to.width() + toX) * 4;
        std::memcpy(destination, source, static_cast<std::size_t>(width) * 4);
    }
}

} // namespace volumira

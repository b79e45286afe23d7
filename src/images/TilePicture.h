#pragma once

#include "io/JpegCodec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace volumira {

// A decoded tile or picture: B, G, R, A bytes, rows top first.
class BgraPicture : public BgraImage {
  public:
    void setSize(int width, int height) override;
    std::uint8_t* pixelBuffer() override { return pixels_.data(); }
    const std::uint8_t* pixels() const { return pixels_.data(); }
    std::uint8_t* pixels() { return pixels_.data(); }
    int width() const { return width_; }
    int height() const { return height_; }
    void fill(std::uint8_t grey);
    void clear();

  private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

// Decodes a JPEG tile. Throws std::runtime_error with libjpeg's message for bytes it rejects, "Unexpected
// image format." for an image that is not three-channel colour, and "Empty tile." for no bytes.
void decodeTile(const std::vector<std::uint8_t>& bytes, BgraPicture& picture);

// Copies a rectangle (clipped to both pictures) from one picture into another, four bytes per pixel.
void copyPixels(const BgraPicture& from, int fromX, int fromY, BgraPicture& to, int toX, int toY, int width,
                int height);

} // namespace volumira

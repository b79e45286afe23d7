#pragma once

#include "render/GLHandles.h"

#include <cstdint>
#include <vector>

namespace volumira {

// A rectangle in pixels: image pixels for a source (y down from the first row), window pixels for a
// destination (y up from the bottom).
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// An image kept both as a 4-byte-per-pixel buffer (rows top first) and as a GL texture whose storage is
// the next power of two in each direction. Creating, filling and drawing need the owning context to be
// current; the texture frees itself in that context. A texture its context took away (the context went)
// is made again from the buffer when the image is next uploaded or drawn.
class TextureImage {
  public:
    // GL_BGRA, the external format every caller uses.
    static constexpr unsigned int kFormatBgra = 0x80E1;

    TextureImage() = default;
    ~TextureImage();
    TextureImage(const TextureImage&) = delete;
    TextureImage& operator=(const TextureImage&) = delete;

    // Releases what was there, allocates the texture storage and a width x height x 4 buffer. A failure
    // releases the image and propagates.
    void create(int width, int height, unsigned int format = kFormatBgra);
    void release();
    std::uint8_t* pixels() { return pixels_.data(); }
    const std::uint8_t* pixels() const { return pixels_.data(); }
    void fill(std::uint8_t value);
    // Copies the buffer into the texture; recreates the texture once if the GL refuses the copy.
    void upload();
    // The whole image with its lower-left corner at (x, y), the buffer's first row at the top.
    void drawAt(int x, int y);
    // The source rectangle of the image onto the destination rectangle of the window.
    void draw(const PixelRect& source, const PixelRect& destination);

    int width() const { return width_; }
    int height() const { return height_; }
    int storageWidth() const { return storageWidth_; }
    int storageHeight() const { return storageHeight_; }
    unsigned int format() const { return format_; }
    // 0 when there is none.
    unsigned int texture() const { return texture_.id(); }

    // 2^ceil(log2 n): the storage size for an image size n >= 1.
    static int storageSize(int n);

  private:
    void allocateTexture();
    unsigned int format_ = kFormatBgra;
    int width_ = 0, height_ = 0;
    int storageWidth_ = 0, storageHeight_ = 0;
    GLTexture texture_;
    std::vector<std::uint8_t> pixels_;
};

} // namespace volumira

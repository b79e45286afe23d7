#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace volumira {

// Where a decoded colour image goes: the caller sizes its own pixel store (4 bytes per pixel,
// rows top to bottom, no padding).
class BgraImage {
  public:
    virtual ~BgraImage();
    virtual void setSize(int width, int height) = 0;
    virtual std::uint8_t* pixelBuffer() = 0;
};

// Writes one 8-bit grayscale JPEG (quality 80, baseline) at the file's position.
void encodeGrayJpeg(std::FILE* file, const std::uint8_t* pixels, int width, int height);

// Decodes one grayscale JPEG from the file's position into width * height bytes. The stored
// size must match exactly. Corrupt or truncated data is an error, never a partial image.
void decodeGrayJpeg(std::FILE* file, std::uint8_t* destination, int width, int height);
// The same from a memory block; never reads outside it.
void decodeGrayJpeg(const std::uint8_t* bytes, std::size_t length, std::uint8_t* destination, int width,
                    int height);

// Decodes colour JPEG bytes as B, G, R, 255 pixels. False at once for null bytes or zero length;
// throws on corrupt, truncated or non-colour data. Never reads outside the given block.
bool decodeJpegToBgra(const std::uint8_t* bytes, std::size_t length, BgraImage& image);

// Images larger than this on a side are refused rather than allocated.
inline constexpr int kMaxJpegSide = 16384;

} // namespace volumira

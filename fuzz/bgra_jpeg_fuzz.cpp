// Decodes arbitrary bytes as a colour image tile.
#include "io/JpegCodec.h"

#include <stdexcept>
#include <vector>

namespace {
class Pixels : public volumira::BgraImage {
public:
    void setSize(int width, int height) override { pixels.assign(static_cast<std::size_t>(width) * height * 4, 0); }
    std::uint8_t* pixelBuffer() override { return pixels.data(); }
    std::vector<std::uint8_t> pixels;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Pixels image;
    try {
        volumira::decodeJpegToBgra(data, size, image);
    } catch (const std::runtime_error&) {
    }
    return 0;
}

#include "io/JpegCodec.h"
#include "platform/FileUtils.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <stdexcept>
#include <vector>

using namespace volumira;

namespace {

// Collects what the decoder hands over, so a test can see whether it was touched at all.
class RecordingImage : public BgraImage {
  public:
    void setSize(int w, int h) override {
        width = w;
        height = h;
        pixels.assign(static_cast<std::size_t>(w) * h * 4, 0);
    }
    std::uint8_t* pixelBuffer() override { return pixels.data(); }
    int width = -1, height = -1;
    std::vector<std::uint8_t> pixels;
};

// A JPEG in memory made by libjpeg directly, in colour (3 components) or grey.
std::vector<std::uint8_t> encodeInMemory(int width, int height, int components,
                                         const std::vector<std::uint8_t>& pixels) {
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&codec, &out, &size);
    codec.image_width = width;
    codec.image_height = height;
    codec.input_components = components;
    codec.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, 95, TRUE);
    jpeg_start_compress(&codec, TRUE);
    while (codec.next_scanline < codec.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + codec.next_scanline * width * components);
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// Four flat quadrants: red, green, blue, white.
std::vector<std::uint8_t> quadrants(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int q = (y >= height / 2) * 2 + (x >= width / 2);
            const std::uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
            std::copy(colours[q], colours[q] + 3,
                      rgb.begin() + (static_cast<std::size_t>(y) * width + x) * 3);
        }
    return rgb;
}

std::vector<std::uint8_t> gradient(int width, int height) {
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            grey[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(x * 2 + y);
    return grey;
}

std::string decodeError(const std::vector<std::uint8_t>& bytes, RecordingImage& image) {
    try {
        decodeJpegToBgra(bytes.data(), bytes.size(), image);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(JpegCodec, GraySlicesRoundTripThroughAFileBackToBack) {
    test::TempDir dir;
    const std::string path = dir.file("slices");
    const auto first = gradient(64, 48);
    auto second = gradient(64, 48);
    for (auto& v : second)
        v = static_cast<std::uint8_t>(255 - v);
    long secondStart = 0;
    {
        UniqueFile file = openFile(path, "wb");
        encodeGrayJpeg(file.get(), first.data(), 64, 48);
        secondStart = std::ftell(file.get());
        encodeGrayJpeg(file.get(), second.data(), 64, 48);
    }
    UniqueFile file = openFile(path, "rb");
    for (const std::vector<std::uint8_t>* expected :
         std::initializer_list<const std::vector<std::uint8_t>*>{&first, &second}) {
        if (expected == &second) std::fseek(file.get(), secondStart, SEEK_SET);
        std::vector<std::uint8_t> decoded(64 * 48);
        decodeGrayJpeg(file.get(), decoded.data(), 64, 48);
        int worst = 0;
        for (std::size_t i = 0; i < decoded.size(); ++i)
            worst = std::max(worst, std::abs(decoded[i] - (*expected)[i]));
        EXPECT_LE(worst, 6) << "quality 80 keeps a smooth gradient close";
    }
}

TEST(JpegCodec, GrayDecodeRefusesOtherSizesFormatsAndBrokenData) {
    test::TempDir dir;
    const auto grey = gradient(32, 16);
    const auto colour = encodeInMemory(32, 16, 3, quadrants(32, 16));
    const auto greyBytes = encodeInMemory(32, 16, 1, grey);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int width, height;
        std::string error; // "" means: any libjpeg message
    } cases[] = {
        {"wrong width", greyBytes, 31, 16, "Unexpected image size."},
        {"wrong height", greyBytes, 32, 17, "Unexpected image size."},
        {"colour image", colour, 32, 16, "Unexpected image format."},
        {"truncated", std::vector<std::uint8_t>(greyBytes.begin(), greyBytes.begin() + greyBytes.size() / 2),
         32, 16, ""},
        {"not a JPEG", std::vector<std::uint8_t>(200, 0x42), 32, 16, ""},
        {"empty file", {}, 32, 16, ""},
    };
    for (const auto& c : cases) {
        test::writeBytes(dir.file("in"), std::string(c.bytes.begin(), c.bytes.end()));
        UniqueFile file = openFile(dir.file("in"), "rb");
        std::vector<std::uint8_t> out(static_cast<std::size_t>(c.width) * c.height);
        try {
            decodeGrayJpeg(file.get(), out.data(), c.width, c.height);
            ADD_FAILURE() << c.name << " decoded";
        } catch (const std::runtime_error& e) {
            if (!c.error.empty())
                EXPECT_EQ(e.what(), c.error) << c.name;
            else
                EXPECT_STRNE(e.what(), "") << c.name;
        }
    }
}

TEST(JpegCodec, ColourDecodeWritesBgraPixels) {
    const auto bytes = encodeInMemory(32, 16, 3, quadrants(32, 16));
    RecordingImage image;
    ASSERT_TRUE(decodeJpegToBgra(bytes.data(), bytes.size(), image));
    ASSERT_EQ(image.width, 32);
    ASSERT_EQ(image.height, 16);
    const struct {
        int x, y;
        int b, g, r;
    } probes[] = {{3, 3, 0, 0, 255}, {28, 3, 0, 255, 0}, {3, 12, 255, 0, 0}, {28, 12, 255, 255, 255}};
    for (const auto& p : probes) {
        const std::uint8_t* px = image.pixels.data() + (p.y * 32 + p.x) * 4;
        EXPECT_NEAR(px[0], p.b, 12) << p.x << "," << p.y;
        EXPECT_NEAR(px[1], p.g, 12) << p.x << "," << p.y;
        EXPECT_NEAR(px[2], p.r, 12) << p.x << "," << p.y;
        EXPECT_EQ(px[3], 255);
    }
}

TEST(JpegCodec, ColourDecodeOfNothingLeavesTheImageAlone) {
    RecordingImage image;
    const std::uint8_t byte = 0xFF;
    EXPECT_FALSE(decodeJpegToBgra(nullptr, 100, image));
    EXPECT_FALSE(decodeJpegToBgra(&byte, 0, image));
    EXPECT_EQ(image.width, -1);
}

TEST(JpegCodec, ColourDecodeOfTruncatedOrWrongDataFailsInsideTheBlock) {
    const auto bytes = encodeInMemory(48, 40, 3, quadrants(48, 40));
    RecordingImage image;
    // Every cut point, each in a block of its own size, so a read past the end would be caught
    // by the address sanitizer.
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
        const std::vector<std::uint8_t> truncated(bytes.begin(), bytes.begin() + cut);
        EXPECT_NE(decodeError(truncated, image), "") << "cut at " << cut;
    }
    EXPECT_EQ(decodeError(encodeInMemory(8, 8, 1, gradient(8, 8)), image), "Unexpected image format.");
    EXPECT_NE(decodeError(std::vector<std::uint8_t>(64, 0), image), "");
}

TEST(JpegCodec, GrayDecodeGivesExactlyLibjpegsOwnPixels) {
    // Whole 8 x 8 blocks take the decoder's direct block output; other sizes go row by row. Both
    // must give the very pixels libjpeg's plain row-by-row decode gives.
    for (const auto& [width, height] :
         {std::pair{64, 48}, std::pair{61, 45}, std::pair{8, 8}, std::pair{9, 17}}) {
        std::vector<std::uint8_t> grey = gradient(width, height);
        for (std::size_t i = 0; i < grey.size(); i += 7)
            grey[i] = static_cast<std::uint8_t>(grey[i] * 37);
        const auto bytes = encodeInMemory(width, height, 1, grey);

        jpeg_decompress_struct codec;
        jpeg_error_mgr errors;
        codec.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&codec);
        jpeg_mem_src(&codec, bytes.data(), bytes.size());
        jpeg_read_header(&codec, TRUE);
        jpeg_start_decompress(&codec);
        std::vector<std::uint8_t> reference(static_cast<std::size_t>(width) * height);
        while (codec.output_scanline < codec.output_height) {
            JSAMPROW row = reference.data() + codec.output_scanline * width;
            jpeg_read_scanlines(&codec, &row, 1);
        }
        jpeg_finish_decompress(&codec);
        jpeg_destroy_decompress(&codec);

        std::vector<std::uint8_t> ours(reference.size());
        decodeGrayJpeg(bytes.data(), bytes.size(), ours.data(), width, height);
        EXPECT_EQ(ours, reference) << width << " x " << height;
    }
}

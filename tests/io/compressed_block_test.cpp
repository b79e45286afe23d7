#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <vector>
#include <zlib.h>

using namespace volumira;

namespace {

std::vector<std::uint8_t> sampleBytes(std::size_t n, bool compressible) {
    std::vector<std::uint8_t> bytes(n);
    std::mt19937 random(42);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] =
            compressible ? static_cast<std::uint8_t>((i / 7) % 13) : static_cast<std::uint8_t>(random());
    return bytes;
}

// A block laid out by hand: the two lengths as given, then the payload.
MemoryStream handMadeBlock(std::int32_t uncompressed, std::int32_t compressed,
                           const std::vector<std::uint8_t>& payload) {
    MemoryStream stream(8 + payload.size());
    stream.writeInt32(uncompressed);
    stream.writeInt32(compressed);
    stream.write(payload.data(), payload.size());
    stream.seek(0);
    return stream;
}

std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out(compressBound(bytes.size()));
    uLongf length = out.size();
    EXPECT_EQ(compress(out.data(), &length, bytes.data(), bytes.size()), Z_OK);
    out.resize(length);
    return out;
}

std::string readError(MemoryStream& stream) {
    MemoryStream out;
    try {
        readCompressedBlock(stream, out);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(CompressedBlock, RoundTripsThroughMemoryAndFiles) {
    test::TempDir dir;
    const struct {
        std::size_t size;
        bool compressible;
    } cases[] = {{0, true}, {1, false}, {100, false}, {1000, false}, {70000, false}, {1 << 20, true}};
    for (const auto& c : cases) {
        const auto bytes = sampleBytes(c.size, c.compressible);
        MemoryStream memory(8 + compressBound(c.size));
        const std::int32_t compressedLength = writeCompressedBlock(memory, bytes.data(), bytes.size());
        memory.seek(0);
        EXPECT_EQ(memory.readInt32(), static_cast<std::int32_t>(c.size));
        EXPECT_EQ(memory.readInt32(), compressedLength);
        EXPECT_EQ(memory.readByte(), 0x78) << "a zlib stream follows the lengths";

        memory.seek(0);
        MemoryStream out(3);
        out.seek(2);
        readCompressedBlock(memory, out);
        EXPECT_EQ(memory.tell(), 8 + compressedLength) << "the reader stops right after the block";
        EXPECT_EQ(out.tell(), 0);
        ASSERT_EQ(out.size(), c.size);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.data())) << c.size;

        const std::string path = dir.file("block");
        {
            FileStream file(path, FileStream::Mode::WriteBinary);
            file.writeInt32(99);
            writeCompressedBlock(file, bytes.data(), bytes.size());
        }
        FileStream file(path, FileStream::Mode::ReadBinary);
        EXPECT_EQ(file.readInt32(), 99);
        MemoryStream fromFile;
        readCompressedBlock(file, fromFile);
        ASSERT_EQ(fromFile.size(), c.size);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), fromFile.data()));
    }
}

TEST(CompressedBlock, ShorterInflatedDataLeavesTheStreamAtItsRealLength) {
    const auto bytes = sampleBytes(50, true);
    const auto payload = zlibCompress(bytes);
    MemoryStream block = handMadeBlock(100, static_cast<std::int32_t>(payload.size()), payload);
    MemoryStream out;
    readCompressedBlock(block, out);
    ASSERT_EQ(out.size(), 50u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.data()));
}

TEST(CompressedBlock, LyingOrCorruptBlocksAreRefused) {
    const auto bytes = sampleBytes(4000, true);
    const auto payload = zlibCompress(bytes);
    const auto size = static_cast<std::int32_t>(payload.size());
    auto corrupt = payload;
    corrupt[payload.size() / 2] ^= 0x5A;
    const std::vector<std::uint8_t> truncated(payload.begin(), payload.begin() + payload.size() / 2);
    const std::string gridError = "Error while reading grid file.";
    const std::string endError = "Unexpected end of stream while reading.";
    const struct {
        const char* name;
        std::int32_t uncompressed, compressed;
        std::vector<std::uint8_t> payload;
        std::string error;
    } cases[] = {
        {"negative uncompressed length", -1, size, payload, gridError},
        {"negative compressed length", 4000, -5, payload, gridError},
        {"compressed length past the end", 4000, size + 1, payload, endError},
        {"uncompressed length beyond any deflate ratio", INT32_MAX, size, payload, gridError},
        {"inflates to more than promised", 3999, size, payload, gridError},
        {"corrupt deflate data", 4000, size, corrupt, gridError},
        {"deflate stream cut short", 4000, static_cast<std::int32_t>(truncated.size()), truncated, gridError},
        {"not zlib at all", 10, 4, {1, 2, 3, 4}, gridError},
    };
    for (const auto& c : cases) {
        MemoryStream block = handMadeBlock(c.uncompressed, c.compressed, c.payload);
        EXPECT_EQ(readError(block), c.error) << c.name;
    }
    MemoryStream headerOnly(5);
    EXPECT_EQ(readError(headerOnly), endError);
}

TEST(CompressedBlock, FileWhoseBlockIsCutShortFailsToRead) {
    test::TempDir dir;
    const auto bytes = sampleBytes(5000, false);
    MemoryStream memory(8 + compressBound(bytes.size()));
    const std::int32_t length = writeCompressedBlock(memory, bytes.data(), bytes.size());
    test::writeBytes(dir.file("cut"),
                     std::string(reinterpret_cast<const char*>(memory.data()), 8 + length - 1));
    FileStream file(dir.file("cut"), FileStream::Mode::ReadBinary);
    MemoryStream out;
    try {
        readCompressedBlock(file, out);
        FAIL() << "a cut block must not read";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error while reading file.");
    }
}

// Volume and block reading against the libraries' own floor, measured side by side in one run:
//   slice-compressed read   vs  libjpeg decoding the same slices into one buffer
//   raw read                vs  one fread of the same file
//   readCompressedBlock     vs  zlib's uncompress of the same block
// Prints the three ratios at the end. Usage: io_bench [work-dir] [benchmark flags]

#include "BenchMain.h"
#include "io/CompressedBlock.h"
#include "io/Image3d.h"
#include "platform/FileUtils.h"
#include "volumira-tool/Phantom.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <stdexcept>
#include <vector>
#include <zlib.h>

using namespace volumira;

namespace {

constexpr int kNx = 528, kNy = 320, kNz = 456;
constexpr float kSpacing = 25.0f;

struct Fixture {
    std::string rawPath, compPath;
    std::vector<std::vector<std::uint8_t>> jpegSlices; // the compressed file's slices, in memory
    std::vector<std::uint8_t> block;                   // one compressed block: lengths + zlib stream
    std::size_t blockUncompressed = 0;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void prepare(const std::string& dir) {
    Fixture& f = fixture();
    std::filesystem::create_directories(dir);
    f.rawPath = dir + "/Atlas25";
    f.compPath = dir + "/Atlas25.comp";
    const Image3d volume = tool::makePhantom(kNx, kNy, kNz, kSpacing);
    volume.writeRaw(f.rawPath);
    volume.writeCompressed(f.compPath);

    const auto comp = bench::readWhole(f.compPath);
    std::vector<std::uint32_t> offsets(kNx);
    std::memcpy(offsets.data(), comp.data(), kNx * 4);
    for (int i = 0; i < kNx; ++i) {
        const std::size_t end = i + 1 < kNx ? offsets[i + 1] : comp.size();
        f.jpegSlices.emplace_back(comp.begin() + offsets[i], comp.begin() + end);
    }

    // A block the size of a coarse 133 x 81 x 115 grid, cut from the volume's middle.
    const Image3d coarse = tool::makePhantom(133, 81, 115, 100.0f);
    f.blockUncompressed = coarse.voxelCount();
    MemoryStream stream(8 + compressBound(f.blockUncompressed));
    const std::int32_t length = writeCompressedBlock(stream, coarse.data(), coarse.voxelCount());
    f.block.assign(stream.data(), stream.data() + 8 + length);
}

// Each side works into a buffer that is already allocated and touched, so neither pays page faults.
void BM_SliceCompressedRead(benchmark::State& state) {
    Image3d image(kNx, kNy, kNz, kSpacing);
    for (auto _ : state) {
        if (!image.readCompressed(fixture().compPath, kNx, kNy, kNz, kSpacing))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(image.data());
    }
}

// Decodes every slice from memory into one buffer, slice after slice, with libjpeg and nothing else.
// rawData asks for the inverse DCT's output directly, as the volume reader does for whole blocks.
void decodeAllSlices(std::vector<std::uint8_t>& out, bool rawData) {
    std::uint8_t* destination = out.data();
    for (const auto& slice : fixture().jpegSlices) {
        jpeg_decompress_struct codec;
        jpeg_error_mgr errors;
        codec.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&codec);
        jpeg_mem_src(&codec, slice.data(), slice.size());
        jpeg_read_header(&codec, TRUE);
        codec.raw_data_out = rawData;
        jpeg_start_decompress(&codec);
        JSAMPROW rows[DCTSIZE];
        JSAMPARRAY planes[1] = {rows};
        while (codec.output_scanline < codec.output_height) {
            for (int r = 0; r < DCTSIZE; ++r)
                rows[r] = destination + (codec.output_scanline + r) * codec.output_width;
            if (rawData)
                jpeg_read_raw_data(&codec, planes, DCTSIZE);
            else
                jpeg_read_scanlines(&codec, rows, 1);
        }
        destination += static_cast<std::size_t>(codec.output_width) * codec.output_height;
        jpeg_finish_decompress(&codec);
        jpeg_destroy_decompress(&codec);
    }
}

void BM_LibjpegDecodeSlices(benchmark::State& state) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kNx) * kNy * kNz);
    for (auto _ : state) {
        decodeAllSlices(out, false);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_LibjpegRawDecodeSlices(benchmark::State& state) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kNx) * kNy * kNz);
    for (auto _ : state) {
        decodeAllSlices(out, true);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_RawRead(benchmark::State& state) {
    Image3d image(kNx, kNy, kNz, kSpacing);
    for (auto _ : state) {
        if (!image.readRaw(fixture().rawPath, kNx, kNy, kNz, kSpacing)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(image.data());
    }
}

void BM_OneFread(benchmark::State& state) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kNx) * kNy * kNz);
    for (auto _ : state) {
        std::FILE* file = std::fopen(fixture().rawPath.c_str(), "rb");
        if (std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size())
            state.SkipWithError("short read");
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
    }
}

void BM_ReadCompressedBlock(benchmark::State& state) {
    MemoryStream source(fixture().block.size());
    std::memcpy(source.data(), fixture().block.data(), fixture().block.size());
    MemoryStream out;
    for (auto _ : state) {
        source.seek(0);
        readCompressedBlock(source, out);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_ZlibUncompress(benchmark::State& state) {
    const auto& block = fixture().block;
    std::vector<std::uint8_t> out(fixture().blockUncompressed);
    for (auto _ : state) {
        uLongf length = out.size();
        if (uncompress(out.data(), &length, block.data() + 8, block.size() - 8) != Z_OK)
            state.SkipWithError("zlib");
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(BM_SliceCompressedRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegDecodeSlices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegRawDecodeSlices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneFread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCompressedBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    const std::string dir = volumira::bench::initialise(
        argc, argv, (std::filesystem::temp_directory_path() / "volumira-bench").string(), 9);
    std::printf("Preparing a %d x %d x %d volume in %s ...\n", kNx, kNy, kNz, dir.c_str());
    prepare(dir);
    volumira::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nRatios of median times:\n");
    reporter.printRatio("BM_SliceCompressedRead", "BM_LibjpegDecodeSlices", 1.25);
    reporter.printRatio("BM_SliceCompressedRead", "BM_LibjpegRawDecodeSlices", 1.25);
    reporter.printRatio("BM_RawRead", "BM_OneFread", 1.5);
    reporter.printRatio("BM_ReadCompressedBlock", "BM_ZlibUncompress", 1.1);
    std::filesystem::remove_all(dir);
    benchmark::Shutdown();
    return 0;
}

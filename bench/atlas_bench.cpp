// Loading the reference atlas from the generated sample data, against the work it cannot avoid:
//   construction                     goal: under 50 ms
//   unpack                           vs  reading the archives + decoding every slice + inflating the mapping
//                                    and vs  that plus writing the unpacked files with one fwrite each
//   loadFullScale                    vs  reading the two raw volumes with one fread each
// plus the peak memory of a full-scale load, measured in a child process.
// Usage: atlas_bench [work-dir] [benchmark flags]

#include "BenchMain.h"
#include "atlas/AtlasGrid.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/SagittalMap.h"
#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "io/VoxelBuffer.h"
#include "platform/FileUtils.h"
#include "sample-data/SampleAtlas.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace volumira;
namespace fs = std::filesystem;

namespace {

// The unpack benchmark writes into a directory of its own, so the files the load reads stay settled.
std::string gData, gShared, gUnpackShared;

void clearUnpacked() {
    for (const char* name : {"Atlas25", "SagittalAtlasMap", "Version"})
        deleteFile(gUnpackShared + name);
}

void BM_AtlasConstruction(benchmark::State& state) {
    for (auto _ : state) {
        ReferenceAtlas atlas(gData, gShared);
        benchmark::DoNotOptimize(&atlas);
    }
}

// Each atlas (with its 77 MB volumes) is made and freed outside the measurement.
void BM_Unpack(benchmark::State& state) {
    std::optional<ReferenceAtlas> atlas;
    for (auto _ : state) {
        state.PauseTiming();
        atlas.reset();
        clearUnpacked();
        atlas.emplace(gData, gUnpackShared);
        state.ResumeTiming();
        if (!atlas->unpack(nullptr, nullptr, nullptr)) state.SkipWithError("cancelled");
        // Flush the written files now, so their write-back does not run under the next measurement.
        state.PauseTiming();
        sync();
        state.ResumeTiming();
    }
    atlas.reset();
}

// What unpacking has to do at the least: read both archives, decode every slice, inflate the mapping.
void BM_UnpackFloor(benchmark::State& state) {
    const auto [nx, ny, nz] = atlas::kFineDims;
    for (auto _ : state) {
        // A fresh volume each time, from the same allocator as the atlas's volumes.
        VoxelBuffer volume = allocateVoxels(static_cast<std::size_t>(nx) * ny * nz);
        const auto comp = bench::readWhole(gData + "Atlas25.comp");
        std::vector<std::uint32_t> offsets(nx);
        std::memcpy(offsets.data(), comp.data(), offsets.size() * 4);
        std::uint8_t* destination = volume.get();
        for (int i = 0; i < nx; ++i) {
            const std::size_t end = i + 1 < nx ? offsets[i + 1] : comp.size();
            jpeg_decompress_struct codec;
            jpeg_error_mgr errors;
            codec.err = jpeg_std_error(&errors);
            jpeg_create_decompress(&codec);
            jpeg_mem_src(&codec, comp.data() + offsets[i], end - offsets[i]);
            jpeg_read_header(&codec, TRUE);
            jpeg_start_decompress(&codec);
            while (codec.output_scanline < codec.output_height) {
                JSAMPROW row = destination + codec.output_scanline * codec.output_width;
                jpeg_read_scanlines(&codec, &row, 1);
            }
            destination += static_cast<std::size_t>(ny) * nz;
            jpeg_finish_decompress(&codec);
            jpeg_destroy_decompress(&codec);
        }
        FileStream map(gData + "SagittalAtlasMap.comp", FileStream::Mode::ReadBinary);
        MemoryStream block;
        for (int b = 0; b < 3; ++b)
            readCompressedBlock(map, block);
        benchmark::DoNotOptimize(volume.get());
    }
}

// The writing an unpack cannot avoid, which the floor above leaves out: the unpacked volume and the
// sagittal records, one fwrite each into the page cache (written back outside the measurement, as there).
void BM_UnpackWriteFloor(benchmark::State& state) {
    const std::size_t volume =
        static_cast<std::size_t>(atlas::kFineDims[0]) * atlas::kFineDims[1] * atlas::kFineDims[2];
    const std::size_t records = static_cast<std::size_t>(atlas::kCoarseVoxelCount) * kSagittalRecordSize;
    const std::vector<std::uint8_t> bytes(volume, 1);
    for (auto _ : state) {
        for (const auto& [name, size] : {std::pair{"Atlas25.floor", volume}, std::pair{"Map.floor", records}}) {
            const std::string path = gUnpackShared + name;
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (!file || std::fwrite(bytes.data(), 1, size, file) != size) state.SkipWithError("write");
            if (file) std::fclose(file);
        }
        state.PauseTiming();
        sync();
        deleteFile(gUnpackShared + "Atlas25.floor");
        deleteFile(gUnpackShared + "Map.floor");
        state.ResumeTiming();
    }
}

void BM_LoadFullScale(benchmark::State& state) {
    {
        ReferenceAtlas atlas(gData, gShared);
        if (!atlas.isUnpacked()) atlas.unpack(nullptr, nullptr, nullptr);
    }
    std::optional<ReferenceAtlas> atlas;
    for (auto _ : state) {
        state.PauseTiming();
        atlas.reset();
        atlas.emplace(gData, gShared);
        state.ResumeTiming();
        atlas->loadFullScale(nullptr, nullptr, nullptr);
    }
    atlas.reset();
}

// Reading the two fine volumes into fresh buffers (from the atlas's own allocator), as a load must.
void BM_LoadFullScaleFloor(benchmark::State& state) {
    const std::size_t size =
        static_cast<std::size_t>(atlas::kFineDims[0]) * atlas::kFineDims[1] * atlas::kFineDims[2];
    for (auto _ : state) {
        for (const std::string& path : {gData + "Annotation25", gShared + "Atlas25"}) {
            VoxelBuffer buffer = allocateVoxels(size);
            std::FILE* file = std::fopen(path.c_str(), "rb");
            if (!file || std::fread(buffer.get(), 1, size, file) != size) state.SkipWithError("read");
            if (file) std::fclose(file);
            benchmark::DoNotOptimize(buffer.get());
        }
    }
}

// Peak resident memory of constructing the atlas and loading the full-scale volumes, in a fresh process.
long peakMemoryOfFullScaleLoadKb() {
    const pid_t child = fork();
    if (child == 0) {
        {
            ReferenceAtlas atlas(gData, gShared);
            atlas.loadFullScale(nullptr, nullptr, nullptr);
        }
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

} // namespace

BENCHMARK(BM_AtlasConstruction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpack)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnpackFloor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnpackWriteFloor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadFullScale)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadFullScaleFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    const std::string dir = volumira::bench::initialise(
        argc, argv, (fs::temp_directory_path() / "volumira-atlas-bench").string(), 5);
    gData = dir + "/Data/";
    gShared = dir + "/Atlas/";
    gUnpackShared = dir + "/Unpacked/";
    fs::create_directories(gShared);
    fs::create_directories(gUnpackShared);
    if (!fs::exists(gData + "ontology.csv")) {
        std::printf("Generating the sample atlas in %s ...\n", gData.c_str());
        sample::writeSampleAtlas(gData, sample::SampleGrid::full());
    }
    volumira::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nMedian times and ratios:\n");
    std::printf("%-24s %8.2f ms  goal < 50 ms\n", "atlas construction",
                reporter.median("BM_AtlasConstruction"));
    reporter.printRatio("BM_Unpack", "BM_UnpackFloor", 1.3);
    const double unpackWithWrite = reporter.median("BM_UnpackFloor") + reporter.median("BM_UnpackWriteFloor");
    std::printf("%-24s %8.3f x (decode + write floors, %.1f + %.1f ms)\n", "BM_Unpack",
                reporter.median("BM_Unpack") / unpackWithWrite, reporter.median("BM_UnpackFloor"),
                reporter.median("BM_UnpackWriteFloor"));
    reporter.printRatio("BM_LoadFullScale", "BM_LoadFullScaleFloor", 1.3);
    const long peakKb = peakMemoryOfFullScaleLoadKb();
    const double limitMb = 2 * 77.0 + 64;
    std::printf("%-24s %8.1f MB  goal <= %.0f MB  %s\n", "peak full-scale load", peakKb / 1024.0, limitMb,
                peakKb >= 0 && peakKb / 1024.0 <= limitMb ? "met" : "MISSED");
    benchmark::Shutdown();
    return 0;
}

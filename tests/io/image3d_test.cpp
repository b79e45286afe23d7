#include "io/Image3d.h"
#include "platform/FileUtils.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

using namespace volumira;
using volumira::test::errorOf;

namespace {

// A smooth volume with a distinct value at every voxel of a small grid, so misplaced voxels show.
Image3d patterned(int nx, int ny, int nz, float spacing, bool smooth) {
    Image3d image(nx, ny, nz, spacing);
    std::uint8_t* v = image.data();
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                v[x + y * nx + z * nx * ny] =
                    smooth ? static_cast<std::uint8_t>(128 +
                                                       100 * std::sin(x * 0.3) * std::cos(y * 0.2 + z * 0.15))
                           : static_cast<std::uint8_t>(x * 7 + y * 13 + z * 31);
    return image;
}

std::int32_t tableEntry(const std::string& bytes, int i) {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + i * 4, 4);
    return v;
}

std::string withTableEntry(std::string bytes, int i, std::int32_t value) {
    std::memcpy(bytes.data() + i * 4, &value, 4);
    return bytes;
}

} // namespace

TEST(Image3d, ConstructionAndAccessors) {
    Image3d empty;
    EXPECT_FALSE(empty.isLoaded());
    EXPECT_EQ(empty.valueAt(0, 0, 0), 0);
    Image3d image(3, 4, 5, 25.0f);
    EXPECT_TRUE(image.isLoaded());
    EXPECT_EQ(image.dimension(0), 3);
    EXPECT_EQ(image.dimension(1), 4);
    EXPECT_EQ(image.dimension(2), 5);
    EXPECT_EQ(image.sliceSize(), 12);
    EXPECT_EQ(image.spacing(), 25.0f);
    for (std::size_t i = 0; i < image.voxelCount(); ++i)
        EXPECT_EQ(image.data()[i], 0);
    EXPECT_THROW(image.dimension(3), std::invalid_argument);
    EXPECT_THROW(image.dimension(-1), std::invalid_argument);
    EXPECT_THROW(Image3d(0, 4, 5, 25.0f), std::invalid_argument);
    EXPECT_THROW(Image3d(3, -4, 5, 25.0f), std::invalid_argument);
    EXPECT_THROW(Image3d(3, 4, 5, 0.0f), std::invalid_argument);
}

TEST(Image3d, ValueAtReturnsTheVoxelContainingThePoint) {
    for (const float spacing : {100.0f, 25.0f}) {
        const Image3d image = patterned(133, 81, 115, spacing, false);
        const std::uint8_t* v = image.data();
        const auto at = [&](int x, int y, int z) { return v[x + y * 133 + z * 133 * 81]; };
        const struct {
            int x, y, z;
        } points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {66, 40, 57}, {132, 80, 114}, {7, 3, 99}};
        for (const auto& p : points) {
            EXPECT_EQ(image.valueAt(p.x * spacing, p.y * spacing, p.z * spacing), at(p.x, p.y, p.z))
                << "grid point " << p.x << "," << p.y << "," << p.z << " at " << spacing;
            const double inside = spacing * 0.999;
            EXPECT_EQ(image.valueAt(p.x * spacing + inside, p.y * spacing + inside, p.z * spacing + inside),
                      at(p.x, p.y, p.z));
        }
        const double outside[][3] = {{-1, 0, 0},           {133 * spacing, 0, 0},
                                     {0, 81 * spacing, 0}, {0, 0, 115 * spacing},
                                     {NAN, 0, 0},          {1e300, 0, 0}};
        for (const auto& p : outside)
            EXPECT_EQ(image.valueAt(p[0], p[1], p[2]), 0) << p[0] << "," << p[1] << "," << p[2];
    }
}

TEST(Image3d, RawVolumesRoundTripInChunks) {
    test::TempDir dir;
    // 115 slices: three whole chunks and a last, shorter one.
    const Image3d original = patterned(9, 7, 115, 100.0f, false);
    ASSERT_TRUE(original.writeRaw(dir.file("raw")));
    EXPECT_EQ(test::readBytes(dir.file("raw")).size(), original.voxelCount());
    Image3d read;
    ASSERT_TRUE(read.readRaw(dir.file("raw"), 9, 7, 115, 100.0f));
    EXPECT_TRUE(read.isLoaded());
    EXPECT_EQ(read.spacing(), 100.0f);
    EXPECT_EQ(std::memcmp(read.data(), original.data(), original.voxelCount()), 0);
}

TEST(Image3d, RawReadFailuresLeaveTheVolumeNotLoaded) {
    test::TempDir dir;
    const Image3d original = patterned(9, 7, 5, 100.0f, false);
    ASSERT_TRUE(original.writeRaw(dir.file("raw")));
    const std::string bytes = test::readBytes(dir.file("raw"));
    test::writeBytes(dir.file("short"), bytes.substr(0, bytes.size() - 1));
    const struct {
        const char* name;
        std::string path;
        int nx, ny, nz;
    } cases[] = {{"missing file", dir.file("missing"), 9, 7, 5},
                 {"file one byte short", dir.file("short"), 9, 7, 5},
                 {"bigger than the file", dir.file("raw"), 9, 7, 6},
                 {"invalid dimensions", dir.file("raw"), 9, 0, 5}};
    for (const auto& c : cases) {
        Image3d image;
        ASSERT_TRUE(image.readRaw(dir.file("raw"), 9, 7, 5, 100.0f));
        EXPECT_FALSE(image.readRaw(c.path, c.nx, c.ny, c.nz, 100.0f)) << c.name;
        EXPECT_FALSE(image.isLoaded()) << c.name;
        EXPECT_EQ(image.valueAt(0, 0, 0), 0) << c.name;
    }
}

TEST(Image3d, CancelStopsReadsAndWritesAndRemovesThePartialFile) {
    test::TempDir dir;
    const Image3d original = patterned(9, 7, 20, 100.0f, false);
    ASSERT_TRUE(original.writeRaw(dir.file("raw")));
    ASSERT_TRUE(original.writeCompressed(dir.file("comp")));
    CancelFlag cancel{true};

    EXPECT_FALSE(original.writeRaw(dir.file("cancelled"), nullptr, nullptr, &cancel));
    EXPECT_FALSE(fileExists(dir.file("cancelled")));

    Image3d raw;
    EXPECT_FALSE(raw.readRaw(dir.file("raw"), 9, 7, 20, 100.0f, nullptr, nullptr, &cancel));
    EXPECT_FALSE(raw.isLoaded());
    EXPECT_EQ(raw.data(), nullptr) << "a cancelled raw read empties the voxels";

    Image3d compressed;
    EXPECT_FALSE(compressed.readCompressed(dir.file("comp"), 9, 7, 20, 100.0f, nullptr, nullptr, &cancel));
    EXPECT_FALSE(compressed.isLoaded());

    CancelFlag goOn{false};
    EXPECT_TRUE(compressed.readCompressed(dir.file("comp"), 9, 7, 20, 100.0f, nullptr, nullptr, &goOn));

    // Cancelled before a read that several threads share: however far the helpers get before the calling
    // thread first looks at the flag, the read reports the cancel and keeps nothing.
    const Image3d wide = patterned(300, 7, 20, 100.0f, false);
    ASSERT_TRUE(wide.writeCompressed(dir.file("wide")));
    Image3d stopped;
    EXPECT_FALSE(stopped.readCompressed(dir.file("wide"), 300, 7, 20, 100.0f, nullptr, nullptr, &cancel));
    EXPECT_FALSE(stopped.isLoaded());
    EXPECT_EQ(stopped.data(), nullptr);
}

namespace {

// A progress callback that sets the cancel flag at its at-th call, as the user pressing Cancel would.
struct CancelAtReport {
    explicit CancelAtReport(int call) : at(call) {}
    static void report(float, void* self) {
        auto* me = static_cast<CancelAtReport*>(self);
        if (++me->calls == me->at) me->flag = true;
    }
    CancelFlag flag{false};
    int at;
    int calls = 0;
};

// Progress comes before every step while it lives, so that a report can cancel at a chosen one.
struct EveryStepReported {
    EveryStepReported() { reportEveryProgressStepForTesting(true); }
    ~EveryStepReported() { reportEveryProgressStepForTesting(false); }
};

} // namespace

// A cancel from a progress report wins at whichever step it comes, the last included, also while helper
// threads decode the rest of a compressed volume: the result must not depend on which thread gets there
// first.
TEST(Image3d, CancelFromAProgressReportWinsAtAnyStep) {
    test::TempDir dir;
    const EveryStepReported everyStep;
    // 100 z slices: raw reads and writes take four steps. 9 x slices: one compressed batch, nine steps.
    // 300 x slices: five batches, shared with helper threads; the calling thread decodes at least the
    // first 64 slices itself.
    const Image3d raw = patterned(9, 7, 100, 100.0f, false);
    ASSERT_TRUE(raw.writeRaw(dir.file("raw")));
    ASSERT_TRUE(patterned(9, 7, 20, 100.0f, false).writeCompressed(dir.file("narrow")));
    ASSERT_TRUE(patterned(300, 7, 20, 100.0f, false).writeCompressed(dir.file("wide")));
    enum class Op { ReadRaw, WriteRaw, ReadCompressed };
    const struct {
        const char* what;
        Op op;
        std::string path;
        int nx, nz;
        int cancelAt;
    } cases[] = {
        {"raw read, first step", Op::ReadRaw, dir.file("raw"), 9, 100, 1},
        {"raw read, last step", Op::ReadRaw, dir.file("raw"), 9, 100, 4},
        {"raw write, second step", Op::WriteRaw, dir.file("written"), 9, 100, 2},
        {"raw write, last step", Op::WriteRaw, dir.file("written"), 9, 100, 4},
        {"compressed read, first slice", Op::ReadCompressed, dir.file("narrow"), 9, 20, 1},
        {"compressed read, last slice", Op::ReadCompressed, dir.file("narrow"), 9, 20, 9},
        {"threaded compressed read, first slice", Op::ReadCompressed, dir.file("wide"), 300, 20, 1},
        {"threaded compressed read, 64th slice", Op::ReadCompressed, dir.file("wide"), 300, 20, 64},
    };
    for (const auto& c : cases) {
        CancelAtReport progress(c.cancelAt);
        Image3d image;
        bool done = true;
        switch (c.op) {
        case Op::ReadRaw:
            done = image.readRaw(c.path, c.nx, 7, c.nz, 100.0f, &CancelAtReport::report, &progress,
                                 &progress.flag);
            break;
        case Op::WriteRaw:
            done = raw.writeRaw(c.path, &CancelAtReport::report, &progress, &progress.flag);
            EXPECT_FALSE(fileExists(c.path)) << c.what;
            break;
        case Op::ReadCompressed:
            done = image.readCompressed(c.path, c.nx, 7, c.nz, 100.0f, &CancelAtReport::report, &progress,
                                        &progress.flag);
            break;
        }
        EXPECT_EQ(progress.calls, c.cancelAt) << c.what << ": reports stop at the cancel";
        EXPECT_FALSE(done) << c.what;
        EXPECT_FALSE(image.isLoaded()) << c.what;
        EXPECT_EQ(image.data(), nullptr) << c.what << ": a cancelled read keeps nothing";
    }

    // Uncancelled, the same reads and writes report every step and succeed.
    CancelAtReport never(0);
    Image3d image;
    EXPECT_TRUE(
        image.readRaw(dir.file("raw"), 9, 7, 100, 100.0f, &CancelAtReport::report, &never, &never.flag));
    EXPECT_TRUE(raw.writeRaw(dir.file("written"), &CancelAtReport::report, &never, &never.flag));
    EXPECT_EQ(never.calls, 8);
    EXPECT_TRUE(image.readCompressed(dir.file("narrow"), 9, 7, 20, 100.0f, &CancelAtReport::report, &never,
                                     &never.flag));
    EXPECT_EQ(never.calls, 17);
    EXPECT_TRUE(image.isLoaded());
}

TEST(Image3d, RawWriteFailuresNameThePathAndDeleteTheFile) {
    test::TempDir dir;
    const Image3d image = patterned(100, 100, 10, 100.0f, false);
    EXPECT_EQ(errorOf([&] { image.writeRaw(dir.file("no/such/dir/raw")); }),
              "Could not create image file for writing: " + dir.file("no/such/dir/raw") +
                  ".Please make sure this path exists and you have write permissions.");

    // A file size limit makes the write fail the way a full disk would.
    const std::string path = dir.file("big");
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 5000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string error = errorOf([&] { image.writeRaw(path); });
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, "Could write image file at: " + path + ".Please make sure you have 0 MB of free space.");
    EXPECT_FALSE(fileExists(path));
}

TEST(Image3d, SliceCompressedVolumesRoundTripWithAnOffsetTable) {
    test::TempDir dir;
    // Several decoding batches, shared out to threads where the machine has more than one core, and a
    // last batch that is not full.
    const int nx = 200, ny = 24, nz = 17;
    const Image3d original = patterned(nx, ny, nz, 25.0f, true);
    ASSERT_TRUE(original.writeCompressed(dir.file("vol.comp")));
    const std::string bytes = test::readBytes(dir.file("vol.comp"));
    EXPECT_EQ(tableEntry(bytes, 0), nx * 4);
    for (int i = 1; i < nx; ++i)
        EXPECT_GT(tableEntry(bytes, i), tableEntry(bytes, i - 1));
    // Each slice is a JPEG stream: it starts with the start-of-image marker.
    for (int i = 0; i < nx; ++i) {
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[tableEntry(bytes, i)]), 0xFF);
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[tableEntry(bytes, i) + 1]), 0xD8);
    }

    Image3d read;
    ASSERT_TRUE(read.readCompressed(dir.file("vol.comp"), nx, ny, nz, 25.0f));
    EXPECT_TRUE(read.isLoaded());
    int worst = 0;
    for (std::size_t i = 0; i < original.voxelCount(); ++i)
        worst = std::max(worst, std::abs(read.data()[i] - original.data()[i]));
    EXPECT_LE(worst, 12) << "JPEG at quality 80 stays close on a smooth volume";

    // A volume with a sharp feature in one slice shows that slices land on their own x.
    Image3d marked(nx, ny, nz, 25.0f);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (const int x : {20, 63, 64, 150, 199})
                marked.data()[x + y * nx + z * nx * ny] = 255;
    ASSERT_TRUE(marked.writeCompressed(dir.file("marked.comp")));
    ASSERT_TRUE(read.readCompressed(dir.file("marked.comp"), nx, ny, nz, 25.0f));
    for (int x = 0; x < nx; ++x) {
        const bool isMarked = x == 20 || x == 63 || x == 64 || x == 150 || x == 199;
        EXPECT_NEAR(read.valueAt(x * 25.0, 300, 200), isMarked ? 255 : 0, 4) << x;
    }
}

TEST(Image3d, BrokenSliceCompressedFilesAreRefused) {
    test::TempDir dir;
    const int nx = 6, ny = 16, nz = 8;
    const Image3d original = patterned(nx, ny, nz, 25.0f, true);
    ASSERT_TRUE(original.writeCompressed(dir.file("good")));
    const std::string good = test::readBytes(dir.file("good"));
    const auto size = static_cast<std::int32_t>(good.size());
    const std::string name = dir.file("bad");
    const std::string unexpected = "Unexpected data while reading from compressed atlas file " + name;
    const std::string readError = "Error reading from compressed atlas file " + name;
    const struct {
        const char* what;
        std::string bytes;
        std::string error; // "" means: libjpeg's own message, whatever it says
    } cases[] = {
        {"entry equal to the file size", withTableEntry(good, 3, size), unexpected},
        {"entry past the end", withTableEntry(good, 5, size + 1000), unexpected},
        {"negative entry", withTableEntry(good, 0, -4), unexpected},
        {"table cut short", good.substr(0, nx * 4 - 1), readError},
        {"empty file", "", readError},
        {"last slice cut short", good.substr(0, good.size() - 40), ""},
        {"entry pointing into the table", withTableEntry(good, 2, 0), ""},
        {"entry pointing into the middle of a slice", withTableEntry(good, 1, tableEntry(good, 1) + 7), ""},
    };
    for (const auto& c : cases) {
        test::writeBytes(name, c.bytes);
        Image3d image;
        const std::string error = errorOf([&] { image.readCompressed(name, nx, ny, nz, 25.0f); });
        if (c.error.empty())
            EXPECT_NE(error, "") << c.what;
        else
            EXPECT_EQ(error, c.error) << c.what;
        EXPECT_FALSE(image.isLoaded()) << c.what;
    }
    // A broken slice in a later batch, which another thread may be decoding, fails the read the same way.
    {
        const int wide = 150;
        const std::string many = dir.file("many");
        ASSERT_TRUE(patterned(wide, ny, nz, 25.0f, true).writeCompressed(many));
        const std::string bytes = test::readBytes(many);
        for (const int slice : {70, 140}) {
            test::writeBytes(name, withTableEntry(bytes, slice, static_cast<std::int32_t>(bytes.size()) + 9));
            Image3d image;
            EXPECT_EQ(errorOf([&] { image.readCompressed(name, wide, ny, nz, 25.0f); }), unexpected) << slice;
            EXPECT_FALSE(image.isLoaded()) << slice;
        }
    }
    Image3d image;
    EXPECT_EQ(errorOf([&] { image.readCompressed(dir.file("missing"), nx, ny, nz, 25.0f); }),
              "Could not open compressed atlas file " + dir.file("missing"));
    EXPECT_EQ(errorOf([&] { image.readCompressed(dir.file("good"), nx, ny + 1, nz, 25.0f); }),
              "Unexpected image size.");
}

TEST(Image3d, CompressedWriteToAnUncreatableFileReturnsFalse) {
    test::TempDir dir;
    const Image3d image = patterned(4, 8, 8, 25.0f, true);
    EXPECT_FALSE(image.writeCompressed(dir.file("no/such/dir/x.comp")));
    EXPECT_THROW(Image3d().writeCompressed(dir.file("empty.comp")), std::runtime_error);
    EXPECT_FALSE(fileExists(dir.file("empty.comp")));
}

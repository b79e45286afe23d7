#include "atlas/AtlasTestData.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/SagittalMap.h"
#include "platform/FileUtils.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace volumira;
using test::errorOf;

namespace {

constexpr std::size_t kCoarseVoxels = atlas::kCoarseVoxelCount;
constexpr std::size_t kFineVoxels = 528u * 320u * 456u;

// Nissl intensity of every voxel in fine x slice i: flat slices survive the JPEG round trip closely.
int nisslAt(int x) {
    return 40 + x % 100;
}

// Annotation label of a fine voxel: a block of cortex (2) inside thalamus (3) inside nothing (0).
int labelAt(int x, int y, int z) {
    if (x < 100 || x >= 400 || y < 50 || y >= 300 || z < 50 || z >= 400) return 0;
    return (x < 200 && z < 200) ? 2 : 3;
}

std::size_t fineIndex(int x, int y, int z) {
    return static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * 528 +
           static_cast<std::size_t>(z) * 528 * 320;
}

// The full-size volumes are made once per process, each on first use, and linked into the tests'
// directories. Rows are filled whole: voxel loops over 77 million voxels are slow under the sanitizers.
class FineVolumes {
  public:
    static std::string annotation25() {
        static const std::string path = get().write("Annotation25", annotationVolume());
        return path;
    }
    static std::string nissl() {
        static const std::string path = get().write("Atlas25", nisslVolume());
        return path;
    }
    static std::string nisslArchive() {
        static const std::string path = [] {
            const std::string archive = get().dir_.file("Atlas25.comp");
            test::writeFlatSliceArchive(archive, nisslAt);
            return archive;
        }();
        return path;
    }

  private:
    static FineVolumes& get() {
        static FineVolumes volumes;
        return volumes;
    }

    std::string write(const char* name, const Image3d& volume) {
        const std::string path = dir_.file(name);
        test::writeVolume(volume, path);
        return path;
    }

    static Image3d annotationVolume() {
        Image3d volume = test::fineVolume();
        std::uint8_t row[528];
        for (int z = 0; z < 456; ++z)
            for (int y = 0; y < 320; ++y) {
                for (int x = 0; x < 528; ++x)
                    row[x] = static_cast<std::uint8_t>(labelAt(x, y, z));
                std::memcpy(volume.data() + fineIndex(0, y, z), row, sizeof row);
            }
        return volume;
    }

    static Image3d nisslVolume() {
        Image3d volume = test::fineVolume();
        std::uint8_t row[528];
        for (int x = 0; x < 528; ++x)
            row[x] = static_cast<std::uint8_t>(nisslAt(x));
        for (std::size_t start = 0; start < kFineVoxels; start += sizeof row)
            std::memcpy(volume.data() + start, row, sizeof row);
        return volume;
    }

    test::TempDir dir_;
};

void linkFile(const std::string& from, const std::string& to) {
    std::filesystem::create_hard_link(from, to);
}

bool exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

// A few bytes of a large file, without reading all of it.
std::string bytesAt(const std::string& path, std::size_t offset, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    if (!in) throw std::runtime_error("could not read " + path);
    return bytes;
}

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

void collectProgress(float fraction, void* seen) {
    static_cast<std::vector<float>*>(seen)->push_back(fraction);
}

// Reports are throttled by time, so there may be none; those that come must climb within 0..1.
void expectRisingWithinUnit(const std::vector<float>& progress) {
    for (std::size_t i = 0; i < progress.size(); ++i) {
        EXPECT_GE(progress[i], 0.0f);
        EXPECT_LE(progress[i], 1.0f);
        if (i > 0) {
            EXPECT_GE(progress[i], progress[i - 1]);
        }
    }
}

class AtlasDirectoriesTest : public ::testing::Test {
  protected:
    void SetUp() override { test::writeAtlasBasics(dataDir, test::coarseVolume()); }

    test::TempDir data, shared;
    const std::string dataDir = data.path() + "/", sharedDir = shared.path() + "/";
};

} // namespace

// --- isUnpacked ---

TEST_F(AtlasDirectoriesTest, InstalledUnpackedFilesNeedNoSharedCopy) {
    test::writeBytes(dataDir + "Atlas25", "n");
    test::writeBytes(dataDir + "SagittalAtlasMap", "m");
    // A version file that would otherwise discard the shared copies is not even read.
    test::writeBytes(sharedDir + "Version", "2\n");
    test::writeBytes(sharedDir + "Atlas25", "old");
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_TRUE(atlas.isUnpacked());
    EXPECT_EQ(filesIn(shared.path()), (std::set<std::string>{"Atlas25", "Version"}));
}

TEST_F(AtlasDirectoriesTest, SharedCopiesCountOnlyUnderTheCurrentVersion) {
    struct Case {
        const char* name;
        const char* version; // null: no version file
        bool withNissl, withMapping;
        bool unpacked;
        std::set<std::string> remaining;
    };
    const std::set<std::string> all = {"Atlas25", "SagittalAtlasMap", "Version"};
    const std::vector<Case> cases = {
        {"current version", "3\n", true, true, true, all},
        {"current version without line end", "3", true, true, true, all},
        {"current version, Nissl missing", "3\n", false, true, false, {"SagittalAtlasMap", "Version"}},
        {"current version, mapping missing", "3\n", true, false, false, {"Atlas25", "Version"}},
        {"older version", "2\n", true, true, false, {}},
        {"newer version", "4\n", true, true, false, {}},
        {"older version, files missing", "1\n", false, false, false, {}},
        {"no version", nullptr, true, true, false, {"Atlas25", "SagittalAtlasMap"}},
        {"unreadable version", "three\n", true, true, false, all},
        {"empty version", "", true, true, false, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string d = dir.path() + "/";
        if (c.version) test::writeBytes(d + "Version", c.version);
        if (c.withNissl) test::writeBytes(d + "Atlas25", "n");
        if (c.withMapping) test::writeBytes(d + "SagittalAtlasMap", "m");
        ReferenceAtlas atlas(dataDir, d);
        EXPECT_EQ(atlas.isUnpacked(), c.unpacked);
        EXPECT_EQ(filesIn(dir.path()), c.remaining);
    }
}

// --- unpack ---

namespace {

class UnpackTest : public AtlasDirectoriesTest {
  protected:
    static constexpr int kOnPlate = 12345, kOffPlate = 54321;

    void SetUp() override {
        AtlasDirectoriesTest::SetUp();
        linkFile(FineVolumes::nisslArchive(), dataDir + "Atlas25.comp");
        std::vector<std::uint8_t> plates(kCoarseVoxels, 255);
        std::vector<std::uint16_t> xs(kCoarseVoxels, 0), ys(kCoarseVoxels, 0);
        plates[kOnPlate] = 3;
        xs[kOnPlate] = 0x1234;
        ys[kOnPlate] = 0xBEEF;
        xs[kOffPlate] = 5; // on no plate: the record drops the pixel
        ys[kOffPlate] = 6;
        test::writeSagittalArchive(dataDir + "SagittalAtlasMap.comp", plates, xs, ys);
    }

    std::string record(std::size_t index) const {
        return bytesAt(sharedDir + "SagittalAtlasMap", index * 6, 6);
    }
};

} // namespace

TEST_F(UnpackTest, WritesTheRawNisslTheMappingRecordsAndTheVersion) {
    std::vector<float> progress;
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_FALSE(atlas.isUnpacked());
    ASSERT_TRUE(atlas.unpack(collectProgress, &progress, nullptr));

    EXPECT_EQ(filesIn(shared.path()), (std::set<std::string>{"Atlas25", "SagittalAtlasMap", "Version"}));
    EXPECT_EQ(test::readBytes(sharedDir + "Version"), "3\n");
    ASSERT_EQ(std::filesystem::file_size(sharedDir + "Atlas25"), kFineVoxels);
    for (const auto& [x, y, z] : {std::array{0, 0, 0}, {1, 2, 3}, {250, 160, 228}, {527, 319, 455}}) {
        SCOPED_TRACE(testing::Message() << x << ", " << y << ", " << z);
        const std::string voxel = bytesAt(sharedDir + "Atlas25", fineIndex(x, y, z), 1);
        EXPECT_NEAR(static_cast<unsigned char>(voxel[0]), nisslAt(x), 2);
    }

    ASSERT_EQ(std::filesystem::file_size(sharedDir + "SagittalAtlasMap"), 6 * kCoarseVoxels);
    EXPECT_EQ(record(kOnPlate), std::string("\x34\x12\xEF\xBE\x03\x00", 6));
    EXPECT_EQ(record(kOffPlate), std::string("\x00\x00\x00\x00\xFF\x00", 6));
    EXPECT_EQ(record(0), std::string("\x00\x00\x00\x00\xFF\x00", 6));
    EXPECT_EQ(record(kCoarseVoxels - 1), std::string("\x00\x00\x00\x00\xFF\x00", 6));

    expectRisingWithinUnit(progress);
    EXPECT_TRUE(atlas.isUnpacked());
    EXPECT_TRUE(ReferenceAtlas(dataDir, sharedDir).isUnpacked());
}

TEST_F(UnpackTest, CancelledBeforeItStartsLeavesNoVersion) {
    test::writeBytes(sharedDir + "Version", "3\n");
    ReferenceAtlas atlas(dataDir, sharedDir);
    const CancelFlag cancel{true};
    EXPECT_FALSE(atlas.unpack(nullptr, nullptr, &cancel));
    EXPECT_TRUE(filesIn(shared.path()).empty());
    EXPECT_FALSE(atlas.isUnpacked());
}

TEST_F(UnpackTest, CancelledDuringTheNisslWriteLeavesNoVersionAndNoPartialFile) {
    test::writeBytes(sharedDir + "Version", "3\n");
    test::writeBytes(sharedDir + "Atlas25", "complete old copy");
    // The raw write goes to a pipe, so it waits for this reader: the cancel lands in the middle of it.
    const std::string partial = sharedDir + "Atlas25.part";
    ASSERT_EQ(::mkfifo(partial.c_str(), 0600), 0);
    CancelFlag cancel{false};
    std::size_t received = 0;
    std::thread reader([&] {
        const int fd = ::open(partial.c_str(), O_RDONLY);
        if (fd < 0) return;
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            received += static_cast<std::size_t>(n);
            cancel = true;
        }
        ::close(fd);
    });

    ReferenceAtlas atlas(dataDir, sharedDir);
    bool result = true;
    const std::string error = errorOf([&] { result = atlas.unpack(nullptr, nullptr, &cancel); });
    // Frees the reader should the write never have opened the pipe.
    if (const int fd = ::open(partial.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
    reader.join();

    EXPECT_EQ(error, "");
    EXPECT_FALSE(result);
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, kFineVoxels);
    EXPECT_EQ(filesIn(shared.path()), (std::set<std::string>{"Atlas25"}));
    EXPECT_EQ(test::readBytes(sharedDir + "Atlas25"), "complete old copy");
    EXPECT_FALSE(atlas.isUnpacked());
}

TEST_F(UnpackTest, SaveFailuresLeaveNoVersionAndNoPartialFile) {
    struct Case {
        const char* blocked; // a directory with a file in it takes this name
        std::string message;
        std::set<std::string> remaining;
    };
    const std::vector<Case> cases = {
        {"Atlas25.part",
         "Could not create image file for writing: " + sharedDir +
             "Atlas25.part.Please make sure this path exists and you have write permissions.",
         {"Atlas25.part"}},
        {"Atlas25", "Unable to save unpacked atlas at " + sharedDir + "Atlas25", {"Atlas25"}},
        {"SagittalAtlasMap",
         "Unable to save unpacked atlas at " + sharedDir + "SagittalAtlasMap",
         {"Atlas25", "SagittalAtlasMap"}},
        {"Version",
         "Unable to save unpacked atlas at " + sharedDir + "Version",
         {"Atlas25", "SagittalAtlasMap", "Version"}},
    };
    ReferenceAtlas atlas(dataDir, sharedDir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocked);
        std::filesystem::remove_all(shared.path());
        std::filesystem::create_directories(sharedDir + c.blocked);
        test::writeBytes(sharedDir + c.blocked + "/x", "x");
        EXPECT_EQ(errorOf([&] { atlas.unpack(nullptr, nullptr, nullptr); }), c.message);
        EXPECT_EQ(filesIn(shared.path()), c.remaining);
        EXPECT_FALSE(std::filesystem::is_regular_file(sharedDir + "Version"));
        EXPECT_FALSE(atlas.isUnpacked());
    }
}

TEST_F(UnpackTest, DamagedSagittalArchiveIsReportedAsADamagedInstallation) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> damage;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::string& path) { std::filesystem::remove(path); },
         "File could not be opened."},
        {"a block of the wrong length",
         [](const std::string& path) {
             test::writeSagittalArchive(path, std::vector<std::uint8_t>(kCoarseVoxels, 255),
                                        std::vector<std::uint16_t>(kCoarseVoxels + 1),
                                        std::vector<std::uint16_t>(kCoarseVoxels));
         },
         "Unexpected file format."},
    };
    ReferenceAtlas atlas(dataDir, sharedDir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage(dataDir + "SagittalAtlasMap.comp");
        EXPECT_EQ(errorOf([&] { atlas.unpack(nullptr, nullptr, nullptr); }),
                  "Could not load sagittal reference atlas mapping. Your installation of Volumira may be "
                  "damaged.\n\n" +
                      c.cause);
        // The Nissl copy is complete and stays; without a version it is written again next time.
        EXPECT_EQ(filesIn(shared.path()), (std::set<std::string>{"Atlas25"}));
        EXPECT_FALSE(atlas.isUnpacked());
    }
}

TEST_F(AtlasDirectoriesTest, UnreadableNisslArchiveIsReportedAsADamagedInstallation) {
    const std::string archive = dataDir + "Atlas25.comp";
    const std::string prefix =
        "Could not load 3D Nissl image. Your installation of Volumira may be damaged.\n\n";
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_EQ(errorOf([&] { atlas.unpack(nullptr, nullptr, nullptr); }),
              prefix + "Could not open compressed atlas file " + archive);
    test::writeBytes(archive, std::string(100, '\x01')); // shorter than its slice table
    EXPECT_EQ(errorOf([&] { atlas.unpack(nullptr, nullptr, nullptr); }),
              prefix + "Error reading from compressed atlas file " + archive);
    EXPECT_TRUE(filesIn(shared.path()).empty());
}

TEST(SagittalMapUnpacking, EveryBlockMustHoldExactlyOneValuePerVoxel) {
    const std::size_t n = kCoarseVoxels;
    struct Case {
        const char* name;
        std::size_t plates, xs, ys;
    };
    const std::vector<Case> cases = {
        {"plates short", n - 1, n, n}, {"plates long", n + 1, n, n}, {"x short", n, n - 1, n},
        {"y long", n, n, n + 1},       {"all empty", 0, 0, 0},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeSagittalArchive(dir.file("map.comp"), std::vector<std::uint8_t>(c.plates, 255),
                                   std::vector<std::uint16_t>(c.xs), std::vector<std::uint16_t>(c.ys));
        EXPECT_EQ(errorOf([&] { unpackSagittalMap(dir.file("map.comp"), dir.file("map")); }),
                  "Unexpected file format.");
        EXPECT_FALSE(exists(dir.file("map")));
    }
}

TEST(SagittalMapUnpacking, BlockThatInflatesToLessThanItAnnouncesIsRejected) {
    test::TempDir dir;
    const std::string archive = dir.file("map.comp");
    test::writeSagittalArchive(archive, std::vector<std::uint8_t>(kCoarseVoxels - 10, 255),
                               std::vector<std::uint16_t>(kCoarseVoxels),
                               std::vector<std::uint16_t>(kCoarseVoxels));
    // The first block's header claims the full length while its data holds ten bytes fewer.
    std::string bytes = test::readBytes(archive);
    const auto n = static_cast<std::uint32_t>(kCoarseVoxels);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((n >> (8 * i)) & 0xff);
    test::writeBytes(archive, bytes);
    EXPECT_EQ(errorOf([&] { unpackSagittalMap(archive, dir.file("map")); }), "Unexpected file format.");

    test::writeBytes(archive, bytes.substr(0, 20)); // cut inside the first block
    EXPECT_EQ(errorOf([&] { unpackSagittalMap(archive, dir.file("map")); }), "Error while reading file.");
}

// --- loadFullScale ---

TEST_F(AtlasDirectoriesTest, FullScaleLoadsFromTheDataDirectory) {
    linkFile(FineVolumes::annotation25(), dataDir + "Annotation25");
    linkFile(FineVolumes::nissl(), dataDir + "Atlas25");
    std::vector<float> progress;
    ReferenceAtlas atlas(dataDir, sharedDir);
    atlas.loadFullScale(collectProgress, &progress, nullptr);
    ASSERT_TRUE(atlas.isFullScaleLoaded());
    const Image3d& annotation = atlas.annotation25();
    const Image3d& nissl = atlas.nissl25();
    EXPECT_EQ(annotation.spacing(), 25.0f);
    EXPECT_EQ(nissl.dimension(2), 456);
    for (const auto& [x, y, z] : {std::array{0, 0, 0}, {150, 100, 100}, {300, 100, 100}, {527, 319, 455}}) {
        SCOPED_TRACE(testing::Message() << x << ", " << y << ", " << z);
        EXPECT_EQ(annotation.data()[fineIndex(x, y, z)], labelAt(x, y, z));
        EXPECT_EQ(nissl.data()[fineIndex(x, y, z)], nisslAt(x));
    }
    expectRisingWithinUnit(progress);
}

TEST_F(AtlasDirectoriesTest, FullScaleTakesTheNisslFromTheSharedDirectoryAndLoadsOnFirstUse) {
    linkFile(FineVolumes::annotation25(), dataDir + "Annotation25");
    linkFile(FineVolumes::nissl(), sharedDir + "Atlas25");
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_EQ(atlas.nissl25().data()[fineIndex(99, 5, 5)], nisslAt(99));
    EXPECT_TRUE(atlas.isFullScaleLoaded());
}

TEST_F(AtlasDirectoriesTest, FullScaleFailuresNameTheVolumeAndDropADamagedSharedCopy) {
    const std::string annotationMessage =
        "Could not load full scale 3D annotation image. Please try reinstalling Volumira.";
    const std::string nisslMessage = "Could not load 3D Nissl image. Please try reinstalling Volumira.";
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_EQ(errorOf([&] { atlas.loadFullScale(nullptr, nullptr, nullptr); }), annotationMessage);

    linkFile(FineVolumes::annotation25(), dataDir + "Annotation25");
    EXPECT_EQ(errorOf([&] { atlas.loadFullScale(nullptr, nullptr, nullptr); }), nisslMessage);
    EXPECT_TRUE(atlas.annotation25().isLoaded()) << "the annotation stays loaded";
    EXPECT_FALSE(atlas.isFullScaleLoaded());

    // A short shared copy is deleted so the next start unpacks again; the installed copy is left alone.
    test::writeBytes(dataDir + "Atlas25", "short");
    test::writeBytes(sharedDir + "Atlas25", "short");
    EXPECT_EQ(errorOf([&] { atlas.loadFullScale(nullptr, nullptr, nullptr); }), nisslMessage);
    EXPECT_FALSE(exists(sharedDir + "Atlas25"));
    EXPECT_TRUE(exists(dataDir + "Atlas25"));
    EXPECT_EQ(errorOf([&] { atlas.nissl25(); }), nisslMessage);
}

TEST_F(AtlasDirectoriesTest, CancelledFullScaleLoadThrowsButKeepsTheSharedCopy) {
    linkFile(FineVolumes::annotation25(), dataDir + "Annotation25");
    linkFile(FineVolumes::nissl(), sharedDir + "Atlas25");
    ReferenceAtlas atlas(dataDir, sharedDir);
    CancelFlag cancel{true};
    EXPECT_EQ(errorOf([&] { atlas.loadFullScale(nullptr, nullptr, &cancel); }),
              "Could not load full scale 3D annotation image. Please try reinstalling Volumira.");
    EXPECT_FALSE(atlas.isFullScaleLoaded());

    // A load that finds no Nissl still keeps the annotation, so the next cancel meets the Nissl read.
    std::filesystem::rename(sharedDir + "Atlas25", dataDir + "elsewhere");
    cancel = false;
    EXPECT_EQ(errorOf([&] { atlas.loadFullScale(nullptr, nullptr, &cancel); }),
              "Could not load 3D Nissl image. Please try reinstalling Volumira.");
    std::filesystem::rename(dataDir + "elsewhere", sharedDir + "Atlas25");
    cancel = true;
    EXPECT_EQ(errorOf([&] { atlas.loadFullScale(nullptr, nullptr, &cancel); }),
              "Could not load 3D Nissl image. Please try reinstalling Volumira.");
    EXPECT_TRUE(exists(sharedDir + "Atlas25"));
    EXPECT_FALSE(atlas.isFullScaleLoaded());

    cancel = false;
    atlas.loadFullScale(nullptr, nullptr, &cancel);
    EXPECT_TRUE(atlas.isFullScaleLoaded());
}

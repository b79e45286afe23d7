#include "atlas/AtlasTestData.h"
#include "atlas/ProgressRange.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/SagittalMap.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <vector>

using namespace volumira;
using test::errorOf;

namespace {

class ReferenceAtlasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Image3d annotation = test::coarseVolume();
        annotation.data()[test::coarseIndex(60, 30, 50)] = 2;
        test::writeAtlasBasics(dataDir, annotation);
    }

    test::TempDir data, shared;
    const std::string dataDir = data.path() + "/", sharedDir = shared.path() + "/";
};

} // namespace

TEST_F(ReferenceAtlasTest, ConstructionReadsTheCoarseAnnotationColourMapsAndOntology) {
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_TRUE(atlas.annotation100().isLoaded());
    EXPECT_EQ(atlas.annotation100().data()[test::coarseIndex(60, 30, 50)], 2);
    EXPECT_EQ(atlas.annotation100().spacing(), 100.0f);
    EXPECT_EQ(atlas.ontology().structureAt(2).acronym, "CTX");
    EXPECT_EQ(atlas.ontology().count(), 5);
    EXPECT_EQ(atlas.atlasColourMap().colour(10), (std::array<std::uint8_t, 3>{10, 245, 0}));
    EXPECT_EQ(atlas.expressionColourMap().colour(255), (std::array<std::uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(atlas.jetColourMap().colour(1), (std::array<std::uint8_t, 3>{1, 254, 0}));
    EXPECT_FALSE(atlas.isFullScaleLoaded());
}

TEST_F(ReferenceAtlasTest, ConstructionFailsWithTheMessageOfTheMissingFile) {
    struct Case {
        std::string file;
        std::string message; // the whole message, or its start followed by the path
        bool endsWithPath;
    };
    const std::vector<Case> cases = {
        {"Annotation100", "Could not load 3D annotation image.", false},
        {"Colormaps/Expression.map", "Colormap file could not be opened: ", true},
        {"ontology.csv", "Error while opening ontology file: ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        test::TempDir dir;
        const std::string d = dir.path() + "/";
        test::writeAtlasBasics(d, test::coarseVolume());
        std::filesystem::remove(d + c.file);
        const std::string expected = c.endsWithPath ? c.message + d + c.file : c.message;
        EXPECT_EQ(errorOf([&] { ReferenceAtlas(d, sharedDir); }), expected);
    }

    // A coarse annotation one byte short is as unreadable as a missing one.
    test::writeBytes(dataDir + "Annotation100", std::string(133 * 81 * 115 - 1, '\0'));
    EXPECT_EQ(errorOf([&] { ReferenceAtlas(dataDir, sharedDir); }), "Could not load 3D annotation image.");

    // An ontology that gives one annotation value to two structures stops the atlas with the reader's
    // message, which names both lines (the viewer then ends with its missing-files message).
    test::TempDir dir;
    const std::string d = dir.path() + "/";
    test::writeAtlasBasics(d, test::coarseVolume(),
                           std::string(test::kTestOntology) + "Striatum,STR,root,1,2,3,2,477\n");
    EXPECT_EQ(errorOf([&] { ReferenceAtlas(d, sharedDir); }),
              "Structure index 2 on line 5 was already given on line 2 in ontology file: " + d + "ontology.csv");
}

TEST_F(ReferenceAtlasTest, InstanceIsBuiltOnceAndRetriedAfterAFailedConstruction) {
    test::TempDir empty;
    // The data locations are computed once per process, so they are pointed at a directory that gets
    // its files only after the first attempt.
    ::setenv("VOLUMIRA_DATA_DIR", empty.path().c_str(), 1);
    ::setenv("VOLUMIRA_ATLAS_DIR", shared.path().c_str(), 1);
    EXPECT_EQ(errorOf([] { ReferenceAtlas::instance(); }), "Could not load 3D annotation image.");

    test::writeAtlasBasics(empty.path() + "/", test::coarseVolume());
    ReferenceAtlas& first = ReferenceAtlas::instance();
    EXPECT_EQ(&ReferenceAtlas::instance(), &first);
    EXPECT_EQ(first.sharedDir(), shared.path() + "/");
    ReferenceAtlas::releaseInstance();
    ReferenceAtlas::releaseInstance(); // releasing nothing is harmless

    std::filesystem::remove(empty.path() + "/Annotation100");
    EXPECT_EQ(errorOf([] { ReferenceAtlas::instance(); }), "Could not load 3D annotation image.");
    ::unsetenv("VOLUMIRA_DATA_DIR");
    ::unsetenv("VOLUMIRA_ATLAS_DIR");
}

TEST_F(ReferenceAtlasTest, GridConstantsAndTheirAxisChecks) {
    const ReferenceAtlas atlas(dataDir, sharedDir);
    const int coarse[] = {133, 81, 115}, fine[] = {528, 320, 456}, bregma[] = {213, 41, 223};
    const float bregmaCoarse[] = {53.25f, 10.25f, 55.75f};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(atlas.dimension100(axis), coarse[axis]);
        EXPECT_EQ(atlas.dimension25(axis), fine[axis]);
        EXPECT_EQ(atlas.bregma25(axis), bregma[axis]);
        EXPECT_EQ(atlas.bregma100(axis), bregmaCoarse[axis]);
    }
    EXPECT_EQ(atlas.spacing100(), 100.0f);
    EXPECT_EQ(atlas.spacing25(), 25.0f);
    EXPECT_EQ(atlas.voxelCount100(), 1238895);

    for (int axis : {-1, 3, std::numeric_limits<int>::max()}) {
        SCOPED_TRACE(axis);
        EXPECT_THROW(atlas.dimension25(axis), std::invalid_argument);
        EXPECT_EQ(errorOf([&] { atlas.dimension100(axis); }), "Dimension index out of range.");
        EXPECT_EQ(errorOf([&] { atlas.dimension25(axis); }), "Dimension index out of range.");
        EXPECT_THROW(atlas.bregma100(axis), std::invalid_argument);
        EXPECT_EQ(errorOf([&] { atlas.bregma25(axis); }), "Index out of range.");
        EXPECT_EQ(errorOf([&] { atlas.bregma100(axis); }), "Index out of range.");
    }
}

namespace {

struct CoronalPlate {
    std::string path;
    int imageId = -1, px = -1, py = -1;
};

CoronalPlate coronalPlateAt(const ReferenceAtlas& atlas, float x, float y, float z) {
    CoronalPlate plate;
    atlas.coronalPlateAt(x, y, z, plate.path, plate.imageId, plate.px, plate.py);
    return plate;
}

const std::string kCoronalPrefix = "production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-";

} // namespace

TEST_F(ReferenceAtlasTest, CoronalPlateIsTheNearestTablePosition) {
    const ReferenceAtlas atlas(dataDir, sharedDir);
    // The fine slice is 527 - trunc(4x): x = (527 - s) / 4 lands on slice s.
    const auto xOfSlice = [](int s) { return static_cast<float>(527 - s) / 4.0f; };
    struct Case {
        float x;
        int plate;
        const char* position;
    };
    const std::vector<Case> cases = {
        {0.0f, 131, "527"},          // the front face: the last plate
        {xOfSlice(0), 0, "001"},     // before the first position
        {xOfSlice(1), 0, "001"},     // on a position
        {xOfSlice(3), 0, "001"},     // 1 and 6: 1 is nearer
        {xOfSlice(4), 1, "006"},     // 1 and 6: 6 is nearer
        {xOfSlice(13), 2, "011"},    // 11 and 15 equally near: the lower
        {xOfSlice(14), 3, "015"},    // 11 and 15: 15 is nearer
        {xOfSlice(292), 72, "291"},  // 291 and 293 equally near: the lower
        {xOfSlice(296), 73, "293"},  // 293 and 299: 293 is nearer
        {xOfSlice(297), 74, "299"},  // 293 and 299: 299 is nearer
        {xOfSlice(526), 131, "527"}, // between 523 and 527
        {-5.0f, 131, "527"},         // in front of the brain
        {200.0f, 0, "001"},          // behind it
        {std::nanf(""), 0, "001"},   // no position at all
        {-INFINITY, 131, "527"},     //
        {INFINITY, 0, "001"},        //
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        const CoronalPlate plate = coronalPlateAt(atlas, c.x, 40.0f, 57.0f);
        EXPECT_EQ(plate.imageId, 130879 + c.plate);
        EXPECT_EQ(plate.path, kCoronalPrefix + c.position + ".aff");
    }
    EXPECT_EQ(coronalPlateAt(atlas, 0.0f, 40.0f, 57.0f).imageId, 131010);
}

TEST_F(ReferenceAtlasTest, CoronalPixelIsMeasuredFromBregmaAndClampedToThePlate) {
    const ReferenceAtlas atlas(dataDir, sharedDir);
    struct Case {
        float y, z;
        int px, py;
    };
    const float nan = std::nanf("");
    const std::vector<Case> cases = {
        {0.0f, 0.0f, 5689, 39},    // z = 0 lies beyond the plate's right edge
        {0.0f, 114.0f, 0, 39},     // z = 114 beyond its left edge
        {10.0f, 57.0f, 2785, 565}, // (5392.2 - 5800 + 5700) / 1.9 and (1100.1 - 1025 + 1000) / 1.9
        {80.0f, 57.0f, 2785, 4250}, {100.0f, 57.0f, 2785, 4417}, // below the plate
        {-5.0f, 57.0f, 2785, 0},                                 // above it
        {nan, nan, 0, 0},           {INFINITY, -INFINITY, 5689, 4417}, {-1e30f, 1e30f, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "y " << c.y << " z " << c.z);
        const CoronalPlate plate = coronalPlateAt(atlas, 30.0f, c.y, c.z);
        EXPECT_EQ(plate.px, c.px);
        EXPECT_EQ(plate.py, c.py);
    }
}

namespace {

// A coarse grid mapped to plates through the unpacking of a compressed mapping, as the program gets it.
class SagittalLookupTest : public ReferenceAtlasTest {
  protected:
    void writeMapping(const std::string& directory, std::uint8_t plateAtVoxel) {
        const std::size_t n = atlas::kCoarseVoxelCount;
        std::vector<std::uint8_t> plates(n, 255);
        std::vector<std::uint16_t> xs(n, 0), ys(n, 0);
        const auto place = [&](int index, std::uint8_t plate, std::uint16_t x, std::uint16_t y) {
            plates[index] = plate;
            xs[index] = x;
            ys[index] = y;
        };
        place(test::coarseIndex(10, 20, 30), plateAtVoxel, 1000, 2000);
        place(test::coarseIndex(11, 20, 30), 255, 77, 88); // on no plate: the pixel is dropped
        place(test::coarseIndex(12, 20, 30), 20, 65535, 1);
        place(test::coarseIndex(13, 20, 30), 21, 5, 6); // not a plate number
        place(test::coarseIndex(132, 80, 114), 0, 9, 9);
        test::TempDir scratch;
        test::writeSagittalArchive(scratch.file("map.comp"), plates, xs, ys);
        unpackSagittalMap(scratch.file("map.comp"), directory + "SagittalAtlasMap");
    }
};

struct SagittalPlate {
    std::string path = "unchanged";
    int imageId = -1, px = -1, py = -1;
};

SagittalPlate sagittalPlateAt(ReferenceAtlas& atlas, float x, float y, float z) {
    SagittalPlate plate;
    atlas.sagittalPlateAt(x, y, z, plate.path, plate.imageId, plate.px, plate.py);
    return plate;
}

const std::string kSagittalPrefix =
    "production1/KVRTReferenceAtlas/Sagittal_Annotated/zoomify/Atlas-Sagittal-";

} // namespace

TEST_F(SagittalLookupTest, PlatePathIdAndPixelComeFromTheVoxelsRecord) {
    writeMapping(dataDir, 4);
    ReferenceAtlas atlas(dataDir, sharedDir);

    SagittalPlate plate = sagittalPlateAt(atlas, 10.5f, 20.9f, 30.1f);
    EXPECT_EQ(plate.path, kSagittalPrefix + "18-A.aff");
    EXPECT_EQ(plate.imageId, 130862);
    EXPECT_EQ(plate.px, 1000);
    EXPECT_EQ(plate.py, 2000);

    plate = sagittalPlateAt(atlas, 12.0f, 20.0f, 30.0f);
    EXPECT_EQ(plate.path, kSagittalPrefix + "50-A.aff");
    EXPECT_EQ(plate.imageId, 130878);
    EXPECT_EQ(plate.px, 65535);
    EXPECT_EQ(plate.py, 1);

    plate = sagittalPlateAt(atlas, 132.99f, 80.99f, 114.99f); // the last voxel
    EXPECT_EQ(plate.path, kSagittalPrefix + "10-B.aff");
    EXPECT_EQ(plate.imageId, 130858);
}

TEST_F(SagittalLookupTest, VoxelOnNoPlateGivesItsPixelAndAnEmptyPath) {
    writeMapping(dataDir, 4);
    ReferenceAtlas atlas(dataDir, sharedDir);
    for (float x : {11.0f, 13.0f, 50.0f}) {
        SCOPED_TRACE(x);
        const SagittalPlate plate = sagittalPlateAt(atlas, x, 20.0f, 30.0f);
        EXPECT_EQ(plate.path, "");
        EXPECT_EQ(plate.imageId, -1);
        EXPECT_EQ(plate.px, x == 13.0f ? 5 : 0);
        EXPECT_EQ(plate.py, x == 13.0f ? 6 : 0);
    }
}

TEST_F(SagittalLookupTest, PointsOutsideTheGridChangeNothing) {
    writeMapping(dataDir, 4);
    ReferenceAtlas atlas(dataDir, sharedDir);
    const float nan = std::nanf("");
    const std::vector<std::array<float, 3>> points = {
        {0.0f, 20.0f, 30.0f},  {10.0f, 0.0f, 30.0f},   {10.0f, 20.0f, 0.0f},   {133.0f, 20.0f, 30.0f},
        {10.0f, 81.0f, 30.0f}, {10.0f, 20.0f, 115.0f}, {-1.0f, 20.0f, 30.0f},  {nan, 20.0f, 30.0f},
        {10.0f, nan, 30.0f},   {10.0f, 20.0f, nan},    {INFINITY, 1.0f, 1.0f}, {1e30f, 1.0f, 1.0f},
    };
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << ", " << p[1] << ", " << p[2]);
        const SagittalPlate plate = sagittalPlateAt(atlas, p[0], p[1], p[2]);
        EXPECT_EQ(plate.path, "unchanged");
        EXPECT_EQ(plate.imageId, -1);
        EXPECT_EQ(plate.px, -1);
        EXPECT_EQ(plate.py, -1);
    }
}

TEST_F(SagittalLookupTest, MappingIsTakenFromDataFirstThenShared) {
    writeMapping(sharedDir, 1);
    ReferenceAtlas sharedOnly(dataDir, sharedDir);
    EXPECT_EQ(sagittalPlateAt(sharedOnly, 10.0f, 20.0f, 30.0f).path, kSagittalPrefix + "12-B.aff");

    writeMapping(dataDir, 2);
    ReferenceAtlas both(dataDir, sharedDir);
    EXPECT_EQ(sagittalPlateAt(both, 10.0f, 20.0f, 30.0f).path, kSagittalPrefix + "14-A.aff");
}

TEST_F(SagittalLookupTest, MissingMappingThrowsUntilItAppears) {
    ReferenceAtlas atlas(dataDir, sharedDir);
    EXPECT_EQ(errorOf([&] { sagittalPlateAt(atlas, 10.0f, 20.0f, 30.0f); }),
              "The sagittal atlas mapping file could not be opened.");
    // Even a point outside the grid needs the file: the open comes first.
    EXPECT_EQ(errorOf([&] { sagittalPlateAt(atlas, 0.0f, 0.0f, 0.0f); }),
              "The sagittal atlas mapping file could not be opened.");
    writeMapping(sharedDir, 3);
    EXPECT_EQ(sagittalPlateAt(atlas, 10.0f, 20.0f, 30.0f).path, kSagittalPrefix + "16-B.aff");
}

TEST_F(SagittalLookupTest, RecordBeyondATruncatedMappingGivesAnEmptyPath) {
    // Two whole records and half of a third.
    test::writeBytes(dataDir + "SagittalAtlasMap", std::string("\x01\x00\x02\x00\x05\x00"
                                                               "\x03\x00\x04\x00\x06\x00"
                                                               "\x07\x00\x08",
                                                               15));
    ReferenceAtlas atlas(dataDir, sharedDir);
    const SagittalPlate plate = sagittalPlateAt(atlas, 1.5f, 1.0f, 1.0f); // a record far beyond the end
    EXPECT_EQ(plate.path, "");
    EXPECT_EQ(plate.px, -1);
    EXPECT_EQ(plate.imageId, -1);
}

TEST(ProgressRange, ReportsThePhaseFractionWithinItsShare) {
    std::vector<float> seen;
    const auto record = [](float fraction, void* user) {
        static_cast<std::vector<float>*>(user)->push_back(fraction);
    };
    ProgressRange range(record, &seen, 0.5f);
    ProgressRange::report(0.0f, &range);
    ProgressRange::report(1.0f, &range);
    range.offset = 0.5f;
    ProgressRange::report(0.5f, &range);
    ProgressRange::report(1.0f, &range);
    EXPECT_EQ(seen, (std::vector<float>{0.0f, 0.5f, 0.75f, 1.0f}));

    ProgressRange silent(nullptr, nullptr, 0.5f);
    ProgressRange::report(0.3f, &silent); // no callback: nothing to call, nothing to crash
}

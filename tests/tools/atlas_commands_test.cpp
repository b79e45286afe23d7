#include "ToolRun.h"
#include "atlas/AtlasTestData.h"
#include "atlas/Mesh.h"
#include "atlas/SagittalMap.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

using namespace volumira;
using nlohmann::json;

using test::ToolResult;

namespace {

ToolResult run(std::vector<std::string> args) {
    return test::runTool(std::move(args));
}

// A mesh of one strip over `triangles` + 2 vertices.
void writeStripMesh(const std::string& path, int triangles) {
    Mesh mesh;
    mesh.vertices.resize(static_cast<std::size_t>(triangles) + 2, MeshVertex{{0, 0, 1}, {0, 0, 0}});
    mesh.strips.emplace_back();
    for (int i = 0; i < triangles + 2; ++i) {
        mesh.vertices[static_cast<std::size_t>(i)].position[0] = static_cast<float>(i);
        mesh.vertices[static_cast<std::size_t>(i)].position[1] = static_cast<float>(i % 2);
        mesh.strips.back().push_back(i);
    }
    mesh.writeMesh(path);
}

class AtlasCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directories(dataDir + "Mesh25"); }

    // Label 2 (CTX) and 3 (TH) in both annotations; 1 (root) and 4 (HY) own no voxel.
    void writeInstallation(int strayLabel = 0) {
        Image3d coarse = test::coarseVolume();
        coarse.data()[test::coarseIndex(40, 30, 50)] = 2;
        coarse.data()[test::coarseIndex(41, 30, 50)] = 3;
        if (strayLabel) coarse.data()[test::coarseIndex(42, 30, 50)] = static_cast<std::uint8_t>(strayLabel);
        test::writeAtlasBasics(dataDir, coarse);
        writeStripMesh(dataDir + "Mesh25/root.msh", 1);
        writeStripMesh(dataDir + "Mesh25/CTX.msh", 2);
        writeStripMesh(dataDir + "Mesh25/TH.msh", 3);
        writeStripMesh(dataDir + "Mesh25/HY.msh", 4);
    }

    void writeFineData() {
        Image3d fine = test::fineVolume();
        // One z slab of cortex, the next of thalamus; rows are filled whole for speed.
        std::memset(fine.data() + fine.sliceSize() * std::size_t{100}, 2, fine.sliceSize() * std::size_t{10});
        std::memset(fine.data() + fine.sliceSize() * std::size_t{110}, 3, fine.sliceSize() * std::size_t{10});
        test::writeVolume(fine, dataDir + "Annotation25");
        test::writeFlatSliceArchive(dataDir + "Atlas25.comp", [](int) { return 120; });
        const std::size_t n = atlas::kCoarseVoxelCount;
        test::writeSagittalArchive(dataDir + "SagittalAtlasMap.comp", std::vector<std::uint8_t>(n, 255),
                                   std::vector<std::uint16_t>(n), std::vector<std::uint16_t>(n));
    }

    test::TempDir data, shared;
    const std::string dataDir = data.path() + "/", sharedDir = shared.path() + "/";
};

} // namespace

TEST_F(AtlasCommandsTest, CheckUnpacksLoadsAndSummarisesAHealthyInstallation) {
    writeInstallation();
    writeFineData();
    // An atlas directory that does not exist yet is created, as the program's own is.
    const std::string atlasDir = sharedDir + "all users/atlas";
    const ToolResult first = run({"atlas", "check", data.path(), "--atlas-dir", atlasDir, "--json"});
    ASSERT_EQ(first.status, 0) << first.err << first.out;
    const json j = json::parse(first.out);
    EXPECT_EQ(j["problems"], json::array());
    EXPECT_EQ(j["unpackedNow"], true);
    EXPECT_EQ(j["structureCount"], 4);

    const json& coarse = j["volumes"]["annotation100"];
    EXPECT_EQ(coarse["dimensions"], json({133, 81, 115}));
    EXPECT_EQ(coarse["min"], 0);
    EXPECT_EQ(coarse["max"], 3);
    EXPECT_NEAR(coarse["mean"].get<double>(), 5.0 / 1238895, 1e-12);
    EXPECT_EQ(coarse["labelCount"], 3);
    const json& fine = j["volumes"]["annotation25"];
    EXPECT_EQ(fine["dimensions"], json({528, 320, 456}));
    EXPECT_EQ(fine["max"], 3);
    EXPECT_NEAR(fine["mean"].get<double>(), (2.0 * 10 + 3.0 * 10) / 456, 1e-9);
    EXPECT_EQ(fine["unknownLabels"], json::array());
    const json& nissl = j["volumes"]["nissl25"];
    EXPECT_NEAR(nissl["mean"].get<double>(), 120.0, 2.0);
    EXPECT_LE(nissl["max"].get<int>() - nissl["min"].get<int>(), 4);
    EXPECT_EQ(j["emptyStructures"], json({"root", "HY"}));
    EXPECT_EQ(j["meshes"], json({{"count", 4},
                                 {"vertexCount", 3 + 4 + 5 + 6},
                                 {"triangleCount", 1 + 2 + 3 + 4},
                                 {"missing", json::array()},
                                 {"unreadable", json::array()}}));

    EXPECT_EQ(test::readBytes(atlasDir + "/Version"), "3\n");
    const ToolResult again = run({"atlas", "check", data.path(), "--atlas-dir", atlasDir});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("unpacked now"), std::string::npos) << "the second run finds it unpacked";
    EXPECT_NE(again.out.find("528 x 320 x 456"), std::string::npos);
    EXPECT_NE(again.out.find("problems:         none"), std::string::npos);
}

TEST_F(AtlasCommandsTest, CheckListsEveryProblemAndFailsOnThem) {
    writeInstallation(9);
    std::filesystem::remove(dataDir + "Mesh25/HY.msh");
    test::writeBytes(dataDir + "Mesh25/TH.msh", std::string(6, '\x01'));
    // No fine volumes and no archives: both unpacking and loading fail.
    const ToolResult r = run({"atlas", "check", data.path(), "--atlas-dir", shared.path(), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "volumira-tool: error: the atlas check found 5 problems.\n");
    const json j = json::parse(r.out);
    const std::vector<std::string> problems = j["problems"];
    ASSERT_EQ(problems.size(), 5u) << r.out;
    EXPECT_EQ(
        problems[0].rfind("Could not load 3D Nissl image. Your installation of Volumira may be damaged.", 0),
        0u);
    EXPECT_EQ(problems[1],
              "Could not load full scale 3D annotation image. Please try reinstalling Volumira.");
    EXPECT_EQ(problems[2], "Annotation100 holds labels that no structure has: 9");
    EXPECT_EQ(problems[3], "Mesh file is missing: " + dataDir + "Mesh25/HY.msh");
    EXPECT_EQ(problems[4], "Error while reading mesh file: " + dataDir + "Mesh25/TH.msh");
    EXPECT_EQ(j["volumes"]["annotation100"]["unknownLabels"], json({9}));
    EXPECT_TRUE(j["volumes"]["annotation25"].is_null());
    EXPECT_TRUE(j["volumes"]["nissl25"].is_null());
    EXPECT_TRUE(j["emptyStructures"].is_null());
    EXPECT_EQ(j["meshes"]["count"], 2);
    EXPECT_EQ(j["meshes"]["triangleCount"], 1 + 2);
}

TEST_F(AtlasCommandsTest, CheckOfADirectoryWithoutAnAtlasSaysWhatIsMissing) {
    const ToolResult r = run({"atlas", "check", data.path(), "--atlas-dir", shared.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "volumira-tool: error: Could not load 3D annotation image.\n");
    EXPECT_EQ(r.out, "");
}

namespace {

// Voxel (11, 20, 30) lies on sagittal plate 4 at pixel (1000, 2000); every other voxel on none.
class PlateCommandTest : public AtlasCommandsTest {
  protected:
    void SetUp() override {
        AtlasCommandsTest::SetUp();
        writeInstallation();
        const std::size_t n = atlas::kCoarseVoxelCount;
        std::vector<std::uint8_t> plates(n, 255);
        std::vector<std::uint16_t> xs(n), ys(n);
        const int voxel = test::coarseIndex(11, 20, 30);
        plates[voxel] = 4;
        xs[voxel] = 1000;
        ys[voxel] = 2000;
        test::writeSagittalArchive(dataDir + "SagittalAtlasMap.comp", plates, xs, ys);
        unpackSagittalMap(dataDir + "SagittalAtlasMap.comp", sharedDir + "SagittalAtlasMap");
    }

    ToolResult plate(const std::string& x, const std::string& y, const std::string& z, bool json = true) {
        std::vector<std::string> args = {"atlas",       "plate",      x, y, z, "--data", data.path(),
                                         "--atlas-dir", shared.path()};
        if (json) args.push_back("--json");
        return run(args);
    }
};

} // namespace

TEST_F(PlateCommandTest, PointOnBothPlatesGivesBothLookups) {
    // x = 11 is fine slice 527 - 44 = 483, a plate position of its own.
    const ToolResult r = plate("11", "20.5", "30.5");
    ASSERT_EQ(r.status, 0) << r.err;
    const json j = json::parse(r.out);
    const auto& positions = atlas::kCoronalPlatePositions;
    const auto plateNumber = std::find(positions.begin(), positions.end(), 483) - positions.begin();
    EXPECT_EQ(j["coronal"]["imageId"], 130879 + plateNumber);
    EXPECT_EQ(j["coronal"]["path"], "production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-483.aff");
    EXPECT_EQ(j["coronal"]["y"], 1118); // (1100.1 - 1025 + 2050) / 1.9
    EXPECT_EQ(j["sagittal"], json({{"path", "production1/KVRTReferenceAtlas/Sagittal_Annotated/zoomify/"
                                            "Atlas-Sagittal-18-A.aff"},
                                   {"imageId", 130862},
                                   {"x", 1000},
                                   {"y", 2000}}));
}

TEST_F(PlateCommandTest, PointOffTheSagittalPlatesHasOnlyACoronalPlate) {
    for (const auto& [x, y, z] : {std::array<std::string, 3>{"50", "40", "57"}, {"0", "40", "57"}}) {
        SCOPED_TRACE(x);
        const ToolResult r = plate(x, y, z);
        ASSERT_EQ(r.status, 0) << r.err;
        const json j = json::parse(r.out);
        EXPECT_TRUE(j["sagittal"].is_null());
        EXPECT_EQ(j["coronal"]["path"].get<std::string>().rfind("production1/", 0), 0u);
    }
    const ToolResult text = plate("0", "40", "57", false);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "coronal:  image 131010, pixel (2785, 2144), "
                        "production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-527.aff\n"
                        "sagittal: none (outside the brain or on no plate)\n");
}

TEST_F(PlateCommandTest, MissingMappingAndBadCoordinatesAreErrors) {
    std::filesystem::remove(sharedDir + "SagittalAtlasMap");
    ToolResult r = plate("11", "20", "30");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "volumira-tool: error: The sagittal atlas mapping file could not be opened.\n");

    r = plate("eleven", "20", "30");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("eleven"), std::string::npos);
}

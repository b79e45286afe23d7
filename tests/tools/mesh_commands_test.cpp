#include "ToolRun.h"
#include "atlas/Mesh.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

using namespace volumira;

using test::ToolResult;

namespace {

ToolResult run(std::vector<std::string> args) {
    return test::runTool(std::move(args));
}

// Positions in fine-grid voxels; a strip of five indices (3 triangles) and one of two (none).
Mesh sampleMesh() {
    Mesh m;
    m.vertices = {{{0, 0, 1}, {8, 40, -4}},
                  {{0, 0, 1}, {100, 4, 12}},
                  {{0, 1, 0}, {20, 16, 400}},
                  {{1, 0, 0}, {-12, 24, 0}},
                  {{0, 0, -1}, {52, 80, 36}}};
    m.strips = {{0, 1, 2, 3, 4}, {4, 0}};
    return m;
}

} // namespace

TEST(MeshCommands, InfoReportsCountsAndSceneBounds) {
    test::TempDir dir;
    const std::string path = dir.file("VISp.msh");
    sampleMesh().writeMesh(path);

    const ToolResult json = run({"mesh", "info", path, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["vertexCount"], 5);
    EXPECT_EQ(j["stripCount"], 2);
    EXPECT_EQ(j["triangleCount"], 3);
    // A quarter of the stored positions: the coarse-grid units of the scene.
    EXPECT_EQ(j["bounds"]["min"], nlohmann::json({-3.0, 1.0, -1.0}));
    EXPECT_EQ(j["bounds"]["max"], nlohmann::json({25.0, 20.0, 100.0}));

    const ToolResult text = run({"mesh", "info", path});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("vertices:   5"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("2 (3 triangles)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("(-3.00, 1.00, -1.00) to (25.00, 20.00, 100.00)"), std::string::npos) << text.out;
}

TEST(MeshCommands, EmptyMeshHasNoBounds) {
    test::TempDir dir;
    const std::string path = dir.file("empty.msh");
    Mesh().writeMesh(path);
    const ToolResult json = run({"mesh", "info", path, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["vertexCount"], 0);
    EXPECT_EQ(j["triangleCount"], 0);
    EXPECT_TRUE(j["bounds"].is_null());
    EXPECT_NE(run({"mesh", "info", path}).out.find("none (no vertices)"), std::string::npos);
}

TEST(MeshCommands, MissingAndDamagedFilesReportTheReadError) {
    test::TempDir dir;
    const std::string missing = dir.file("none.msh");
    const ToolResult gone = run({"mesh", "info", missing, "--json"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.out, "");
    EXPECT_EQ(gone.err, "volumira-tool: error: Mesh file could not be opened: " + missing + "\n");

    const std::string damaged = dir.file("damaged.msh");
    sampleMesh().writeMesh(damaged);
    const std::string bytes = test::readBytes(damaged);
    test::writeBytes(damaged, bytes.substr(0, bytes.size() - 3));
    const ToolResult cut = run({"mesh", "info", damaged});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "volumira-tool: error: Error while reading mesh file: " + damaged + "\n");
}

#include "ToolRun.h"
#include "atlas/AtlasTestData.h"
#include "expression/XprTestFiles.h"
#include "search/NetTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <vector>

using namespace volumira;
using nlohmann::json;
using test::Bytes;
using test::gridIdOf;
using test::ToolResult;

namespace {

class XprCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // CTX at (10, 20, 30), TH at (11, 20, 30); the rest of the brain is unlabelled.
        Image3d coarse = test::coarseVolume();
        coarse.data()[test::coarseIndex(10, 20, 30)] = 2;
        coarse.data()[test::coarseIndex(11, 20, 30)] = 3;
        test::writeAtlasBasics(dataDir, coarse);
    }

    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = files.file(name);
        test::writeBytes(path, bytes);
        return path;
    }

    ToolResult info(const std::string& path) {
        return test::runTool({"xpr", "info", path, "--json", "--data", data.path()});
    }

    test::TempDir data, files;
    const std::string dataDir = data.path() + "/";
};

std::string version3File() {
    Bytes b;
    b.i32(3).fill(8, 0);
    for (int e = 0; e < 14; ++e)
        b.i32(e == 1 ? 79 : e == 8 || e == 10 ? 0 : e); // coronal, first image scale
    b.fill(4, 0).i32(1).i32(2).fill(8, 0);
    b.str("glutamate decarboxylase 1").str("Gad1").str("c").str("d").str("e").fill(4, 0);
    b.raw(test::sectionRecord(12, 3456, 800, 600, "\\\\srv\\share\\gad\\primary\\12.jp2", ""));
    b.raw(test::version3Record(gridIdOf(10, 20, 30), 1.25f, 0.5f, 180.0f, 12, 40, 50, 3));
    b.raw(test::version3Record(gridIdOf(11, 20, 30), 2.5f, 0.75f, 90.0f, 12, 41, 51, 4));
    return b.data;
}

// Two cells side by side, measured on different sections: the one at (10, 20, 30) on section 12, the one
// at (11, 20, 30) on section 13. The first one's number in the file is the second one's Grid ID in the
// viewer, so a number taken in the wrong convention picks the other cell or none.
std::string twoSectionFile() {
    Bytes b;
    b.i32(3).fill(8, 0);
    for (int e = 0; e < 14; ++e)
        b.i32(e == 1 ? 79 : e == 8 || e == 10 ? 0 : e);
    b.fill(4, 0).i32(2).i32(2).fill(8, 0);
    b.str("glutamate decarboxylase 1").str("Gad1").str("c").str("d").str("e").fill(4, 0);
    b.raw(test::sectionRecord(12, 3456, 800, 600, "/srv/gad/primary/12", ""));
    b.raw(test::sectionRecord(13, 3457, 800, 600, "/srv/gad/primary/13", ""));
    b.raw(test::version3Record(gridIdOf(10, 20, 30), 1.25f, 0.5f, 180.0f, 12, 40, 50, 3));
    b.raw(test::version3Record(gridIdOf(11, 20, 30), 2.5f, 0.75f, 90.0f, 13, 410, 310, 4));
    return b.data;
}

} // namespace

// The command line takes a cell by the Grid ID the viewer shows (from 0); xpr info names that number
// beside the file's own (from 1), so that one can be copied into the other.
TEST_F(XprCommandsTest, SectionImageTakesTheViewersGridIdWhichInfoNamesBesideTheFilesNumber) {
    const std::string gene = write("two.xpr", twoSectionFile());
    const ToolResult listed = info(gene);
    ASSERT_EQ(listed.status, 0) << listed.err;
    const json cells = json::parse(listed.out)["cells"];
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0]["gridId"], gridIdOf(10, 20, 30));
    EXPECT_EQ(cells[0]["viewerGridId"], gridIdOf(10, 20, 30) - 1);
    EXPECT_EQ(cells[1]["gridId"], gridIdOf(11, 20, 30));
    EXPECT_EQ(cells[1]["viewerGridId"], gridIdOf(11, 20, 30) - 1);

    // A server with the pyramids' properties and no tiles: which images are asked for tells the cell.
    test::Captured requests;
    test::CannedServer server([&](httplib::Server& s) {
        s.Get("/pyramid/.*", [&](const httplib::Request& q, httplib::Response& r) {
            requests.add(q.path);
            if (q.path.ends_with("/ImageProperties.xml"))
                r.set_content("<IMAGE_PROPERTIES WIDTH=\"800\" HEIGHT=\"600\" NUMTILES=\"17\" NUMIMAGES=\"1\" "
                              "VERSION=\"1.8\" TILESIZE=\"256\" />",
                              "text/xml");
            else
                r.status = 404;
        });
    });
    const auto sectionImage = [&](const json& cell) {
        return test::runTool({"section-image", "--server", server.url(), "--gene", gene, "--cell",
                              std::to_string(cell.get<int>()), "--data", data.path(), "--atlas-dir", files.path(),
                              "--out", files.file("cell.png"), "--json"});
    };
    const ToolResult shown = sectionImage(cells[1]["viewerGridId"]);
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::vector<std::string> asked = requests.items();
    ASSERT_FALSE(asked.empty());
    for (const std::string& path : asked)
        EXPECT_TRUE(path.starts_with("/pyramid/gad/primary/13/") || path.starts_with("/pyramid/gad/express/13/"))
            << path << " is not of section 13, the second cell's";

    // The file's number of the same cell is not taken for it, and the message says which numbering is.
    const ToolResult fileNumber = sectionImage(cells[1]["gridId"]);
    EXPECT_EQ(fileNumber.status, 1);
    EXPECT_EQ(fileNumber.err, "volumira-tool: error: The gene has no cell of Grid ID " +
                                  std::to_string(gridIdOf(11, 20, 30)) +
                                  " (Grid IDs count from 0 as the viewer shows them: the \"viewerGridId\" of "
                                  "xpr info --json, one less than its \"gridId\").\n");

    const ToolResult help = test::runTool({"section-image", "--help"});
    EXPECT_NE(help.out.find("counting from 0"), std::string::npos) << help.out;
}

TEST_F(XprCommandsTest, InfoReportsEveryGenerationWithCellsPlacedInTheAtlas) {
    const auto [nx, ny, nz] = atlas::kCoarseDims;
    std::string voxels(static_cast<std::size_t>(nx) * ny * nz, '\0');
    voxels[static_cast<std::size_t>(gridIdOf(10, 20, 30) - 1)] = 7;
    voxels[static_cast<std::size_t>(gridIdOf(11, 20, 30) - 1)] = 4; // no cell
    std::string halfVoxels(static_cast<std::size_t>(nx) * ny * (nz / 2), '\0');
    halfVoxels[static_cast<std::size_t>(gridIdOf(11, 20, 15) - 1)] = 9; // stored slice 15 is z = 30
    Bytes current;
    {
        Bytes payload;
        for (int i = 0; i < 16; ++i)
            payload.i32(i == 14 ? 0 : i == 15 ? 1 : 100 + i);
        payload.str("n").str("S1").str("").str("").str("");
        payload.raw(test::currentRecord(gridIdOf(11, 20, 30), 1, 1, 1, 2, 3, 4, 5));
        current.u32(test::kXprMagic).i32(20000).raw(test::compressedBlock(payload.data));
    }

    struct Case {
        std::string name, bytes;
        int format;
        std::vector<std::pair<std::int32_t, std::string>> cells; // grid id and structure
    };
    const std::vector<Case> cases = {
        {"v2.xpr",
         Bytes{}
             .i32(2)
             .str("Sst")
             .i32(1)
             .raw(test::version2Record(gridIdOf(10, 20, 30), 6, 2, 1, 0, 50))
             .data,
         2,
         {{gridIdOf(10, 20, 30), "CTX"}}},
        {"v3.xpr", version3File(), 3, {{gridIdOf(10, 20, 30), "CTX"}, {gridIdOf(11, 20, 30), "TH"}}},
        {"current.xpr", current.data, 20000, {{gridIdOf(11, 20, 30), "TH"}}},
        {"grid.xpr", test::gridFile(30000, 0, 0, 1, voxels), 30000, {{gridIdOf(10, 20, 30), "CTX"}}},
        {"grid1.xpr", test::gridFile(30001, 1, 5000, 1, halfVoxels), 30001, {{gridIdOf(11, 20, 30), "TH"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult r = info(write(c.name, c.bytes));
        ASSERT_EQ(r.status, 0) << r.err;
        const json j = json::parse(r.out);
        EXPECT_EQ(j["format"], c.format);
        EXPECT_EQ(j["header"].size(), 16u);
        EXPECT_EQ(j["strings"].size(), 7u);
        ASSERT_EQ(j["cells"].size(), c.cells.size());
        for (std::size_t i = 0; i < c.cells.size(); ++i) {
            EXPECT_EQ(j["cells"][i]["gridId"], c.cells[i].first);
            EXPECT_EQ(j["cells"][i]["structure"], c.cells[i].second);
        }
    }
    const json grid = json::parse(info(files.file("grid1.xpr")).out);
    EXPECT_EQ(grid["fileSize"], 5000);
    EXPECT_EQ(grid["cells"][0]["expressors"], 9);
    EXPECT_EQ(grid["cells"][0]["z"], 30.0);
}

TEST_F(XprCommandsTest, InfoPrintsTheVersion3FieldsAndConvertWritesTheCurrentFormat) {
    const std::string v3 = write("v3.xpr", version3File());
    const ToolResult r = info(v3);
    ASSERT_EQ(r.status, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["name"], "glutamate decarboxylase 1");
    EXPECT_EQ(j["symbol"], "Gad1");
    EXPECT_EQ(j["strings"][2], "c");
    EXPECT_EQ(j["strings"][5], "");
    EXPECT_EQ(j["header"][1], 79);
    EXPECT_EQ(j["header"][15], 2);
    EXPECT_NEAR(j["imageScale"].get<double>(), 1.63, 1e-6);
    ASSERT_EQ(j["sectionImages"].size(), 1u);
    const json& image = j["sectionImages"][0];
    EXPECT_EQ(image["section"], 12);
    EXPECT_EQ(image["imageId"], 3456);
    EXPECT_EQ(image["width"], 800);
    EXPECT_EQ(image["height"], 600);
    EXPECT_EQ(image["primaryPath"], "share/gad/primary/12.jp2");
    EXPECT_EQ(image["expressionPath"], "share/gad/express/12.jp2");
    const json& cell = j["cells"][1];
    EXPECT_EQ(cell["x"], 11.0);
    EXPECT_EQ(cell["y"], 20.0);
    EXPECT_EQ(cell["z"], 30.0);
    EXPECT_EQ(cell["diameter"], 2.5);
    EXPECT_EQ(cell["areaSpanned"], 0.75);
    EXPECT_EQ(cell["level"], 90.0);
    EXPECT_EQ(cell["section"], 12);
    EXPECT_EQ(cell["sectionX"], 41);
    EXPECT_EQ(cell["sectionY"], 51);
    EXPECT_EQ(cell["expressors"], 4);

    const std::string out = files.file("converted.xpr");
    const ToolResult converted = test::runTool({"xpr", "convert", v3, out});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(converted.out.find(out), std::string::npos);
    const ToolResult again = info(out);
    ASSERT_EQ(again.status, 0) << again.err;
    json copy = json::parse(again.out);
    EXPECT_EQ(copy["format"], 20000);
    EXPECT_EQ(copy["imageScale"], 0.0); // only version 3 files choose a scale
    EXPECT_EQ(copy["cells"], j["cells"]);
    EXPECT_EQ(copy["sectionImages"], j["sectionImages"]);
    EXPECT_EQ(copy["header"], j["header"]);
    EXPECT_EQ(copy["strings"], j["strings"]);

    const ToolResult text = test::runTool({"xpr", "info", out, "--data", data.path()});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Gad1"), std::string::npos);
    EXPECT_NE(text.out.find("cells:          2"), std::string::npos);
    EXPECT_NE(text.out.find("CTX"), std::string::npos);
}

TEST_F(XprCommandsTest, ErrorsGoToStandardErrorWithTheProgramsMessage) {
    const std::string v3 = write("v3.xpr", version3File());
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"xpr", "info", files.file("missing.xpr"), "--data", data.path()}, "File could not be opened."},
        {{"xpr", "info", write("page.xpr", "<html></html>"), "--json", "--data", data.path()},
         "Unsupported gene expression data format."},
        {{"xpr", "info", write("bad.xpr", Bytes{}.i32(2).str("S").i32(1).fill(10, 0).data), "--data",
          data.path()},
         "Error while reading file."},
        {{"xpr", "info", v3, "--data", files.path()},
         "Could not load 3D annotation image. (Data directory tried: " + files.path() +
             "/; --data DIR names another.)"},
        {{"xpr", "convert", v3, files.file("no dir/out.xpr")},
         "File could not be opened."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolResult r = test::runTool(c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.err, "volumira-tool: error: " + c.message + "\n");
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

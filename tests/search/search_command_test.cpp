#include "GeneQueryTestData.h"
#include "NetTestSupport.h"
#include "support/TempDir.h"
#include "tools/ToolRun.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>
#include <string>

namespace volumira {
namespace {

// The Data directory of this process, found through VOLUMIRA_DATA_DIR as the viewer finds it, with a
// correlation database in which series 101 resembles 103 most, then itself.
const std::string& dataDirectoryWithDatabase() {
    static test::TempDir dir;
    static const std::string path = [] {
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("GLM.db").c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE Experiments (name TEXT, symbol TEXT, experimentId INTEGER, "
                     "imageSeriesId INTEGER, geneId INTEGER);"
                     "INSERT INTO Experiments VALUES ('gene one', 'One', 1, 101, 501);"
                     "INSERT INTO Experiments VALUES ('gene three', 'Three', 3, 103, 503);"
                     "CREATE TABLE S688 (experiment1 INTEGER, experiment2 INTEGER, correlation REAL);"
                     "INSERT INTO S688 VALUES (1, 1, 0.5);INSERT INTO S688 VALUES (1, 3, 0.75);",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        setenv("VOLUMIRA_DATA_DIR", dir.path().c_str(), 1);
        return dir.path();
    }();
    return path;
}

class SearchCommand : public testing::Test {
  protected:
    SearchCommand()
        : server_([this](httplib::Server& s) {
              s.Post(
                  "/services/GeneSearchService", [this](const httplib::Request& req, httplib::Response& res) {
                      bodies_.add(req.body);
                      if (req.body.find(">fail<") != std::string::npos) {
                          res.status = 500;
                          res.set_content("<soap:Fault/>", "text/xml");
                      } else if (req.body.find("<in2>30</in2>") != std::string::npos) {
                          res.set_content(test::seriesResponse("Gene", 30, 2, 42), "text/xml; charset=utf-8");
                      } else {
                          res.set_content(test::geneListResponse(), "text/xml; charset=utf-8");
                      }
                  });
          }) {
        dataDirectoryWithDatabase();
    }

    nlohmann::json run(std::vector<std::string> args) {
        args.insert(args.begin(), {"search", "--server", server_.url("/"), "--json"});
        const test::ToolResult result = test::runTool(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return nlohmann::json::parse(result.out);
    }

    test::Captured bodies_;
    test::CannedServer server_;
};

TEST_F(SearchCommand, TextSearchPrintsTheFirstPage) {
    const nlohmann::json page = run({"--text", "Gad1"});
    EXPECT_EQ(page["status"], "     42 experiments, displaying 1-10");
    EXPECT_EQ(page["total"], 42);
    EXPECT_EQ(page["totalKnown"], true);
    EXPECT_EQ(page["page"], 0);
    ASSERT_EQ(page["records"].size(), 3u);
    const nlohmann::json& gad1 = page["records"][0];
    EXPECT_EQ(gad1["index"], 0);
    EXPECT_EQ(gad1["symbol"], "Gad1");
    EXPECT_EQ(gad1["name"], "glutamate decarboxylase 1");
    EXPECT_EQ(gad1["imageSeriesId"], 79);
    EXPECT_EQ(gad1["geneId"], 14415);
    EXPECT_EQ(gad1["plane"], 0);
    EXPECT_EQ(gad1["probeOrientation"], 1);
    EXPECT_EQ(gad1["score"], -1.0);
    EXPECT_EQ(gad1["expressionFileUrl"], "http://h/GridFile?imageseriesid=79&level=2");
    EXPECT_EQ(gad1["fileSize"], 1234);
    EXPECT_EQ(gad1["available"], true);
    EXPECT_EQ(gad1["condition"], "adult <P56>");
    EXPECT_EQ(page["records"][1]["available"], false);
    EXPECT_NE(bodies_.items().at(0).find("<in3>gene</in3>"), std::string::npos);
}

TEST_F(SearchCommand, LaterPagesAndAnatomicQueries) {
    const nlohmann::json page = run({"--text", "structac=CTX[xlevel=2]", "--anatomic", "--page", "3"});
    EXPECT_EQ(page["page"], 3);
    EXPECT_EQ(page["status"], "     42 experiments, displaying 31-40");
    ASSERT_EQ(page["records"].size(), 2u);
    EXPECT_EQ(page["records"][1]["index"], 31);
    EXPECT_EQ(page["records"][1]["symbol"], "S31");
    const auto bodies = bodies_.items();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_NE(
        bodies[1].find("<in0>structac=CTX[xlevel=2]</in0>\n<in1>10</in1>\n<in2>30</in2>\n<in3>anatomic"),
        std::string::npos);
}

TEST_F(SearchCommand, SimilarGenesComeFromTheInstalledDatabase) {
    const nlohmann::json page = run({"--similar", "101", "--structure", "688", "--planes", "2"});
    EXPECT_EQ(page["total"], 2);
    ASSERT_EQ(page["records"].size(), 2u);
    EXPECT_EQ(page["records"][0]["symbol"], "Three");
    EXPECT_EQ(page["records"][0]["imageSeriesId"], 103);
    EXPECT_FLOAT_EQ(page["records"][0]["score"].get<float>(), 0.75f);
    EXPECT_EQ(page["records"][1]["symbol"], "One");
    EXPECT_TRUE(bodies_.items().empty());
}

TEST_F(SearchCommand, FailuresPrintTheStatusAndExitNonZero) {
    const test::ToolResult failed = test::runTool({"search", "--server", server_.url(), "--text", "fail"});
    EXPECT_NE(failed.status, 0);
    EXPECT_EQ(failed.err,
              "volumira-tool: error: Error: Could not complete request. Server returned error 500\n");

    const test::ToolResult local =
        test::runTool({"search", "--server", server_.url(), "--similar", "101", "--structure", "1097"});
    EXPECT_NE(local.status, 0);
    EXPECT_EQ(local.err, "volumira-tool: error: Error: no such table: S1097\n");

    const test::ToolResult twoModes =
        test::runTool({"search", "--server", server_.url(), "--text", "Gad1", "--series", "5"});
    EXPECT_NE(twoModes.status, 0);
    EXPECT_EQ(twoModes.err, "volumira-tool: error: Give exactly one of --text, --series and --similar.\n");
}

} // namespace
} // namespace volumira

#include "ToolRun.h"
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

// root (1) with Grey (8) and fibres (5); Grey has Cortex (20). Lines out of index order on purpose.
const char* const kOntology = "\xEF\xBB\xBFroot,root,,255,255,255,1,997,x,1,2,3\r\n"
                              "Grey,GRY,root,10,20,30,8,8,x,4.5,5,6\r\n"
                              "Cortex,CTX,GRY,1,2,3,20,688\r\n"
                              "fibres,fib,root,4,5,6,5,1009,x,7\r\n";

} // namespace

TEST(OntologyCommands, DumpJsonListsEverySlotInUse) {
    test::TempDir dir;
    const std::string path = dir.file("ontology.csv");
    test::writeBytes(path, kOntology);
    const ToolResult r = run({"ontology", "dump", path, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);

    EXPECT_EQ(j["count"], 5);
    EXPECT_EQ(j["nameOrder"], nlohmann::json({20, 8, 5, 1, 0}));
    ASSERT_EQ(j["structures"].size(), 5u);
    std::vector<int> slots;
    for (const auto& s : j["structures"])
        slots.push_back(s["index"]);
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 5, 8, 20}));

    const auto& none = j["structures"][0];
    EXPECT_EQ(none["name"], "No Annotation");
    EXPECT_EQ(none["acronym"], "NA");
    EXPECT_EQ(none["id"], -1);
    EXPECT_TRUE(none["parent"].is_null());
    EXPECT_EQ(none["colour"], nlohmann::json({220, 220, 220}));
    EXPECT_EQ(none["order"], 0);
    EXPECT_EQ(none["selfSet"], nlohmann::json({5}));

    const auto& root = j["structures"][1];
    EXPECT_TRUE(root["parent"].is_null());
    EXPECT_EQ(root["children"], nlohmann::json({5, 8}));
    EXPECT_EQ(root["subtreeSet"], nlohmann::json({1, 2, 3, 4}));
    EXPECT_EQ(root["childSet"], nlohmann::json({2, 4}));
    EXPECT_EQ(root["centre"], nlohmann::json({1.0, 2.0, 3.0}));

    const auto& grey = j["structures"][3];
    EXPECT_EQ(grey["name"], "Grey");
    EXPECT_EQ(grey["acronym"], "GRY");
    EXPECT_EQ(grey["id"], 8);
    EXPECT_EQ(grey["parent"], 1);
    EXPECT_EQ(grey["children"], nlohmann::json({20}));
    EXPECT_EQ(grey["order"], 2);
    EXPECT_EQ(grey["colour"], nlohmann::json({10, 20, 30}));
    EXPECT_EQ(grey["centre"], nlohmann::json({4.5, 5.0, 6.0}));
    EXPECT_EQ(grey["selfSet"], nlohmann::json({2}));
    EXPECT_EQ(grey["ancestorSet"], nlohmann::json({1, 2}));
    EXPECT_EQ(grey["subtreeSet"], nlohmann::json({2, 3}));
    EXPECT_EQ(grey["childSet"], nlohmann::json({3}));

    EXPECT_EQ(j["structures"][2]["centre"], nlohmann::json({7.0, 0.0, 0.0}));
    EXPECT_EQ(j["structures"][4]["ancestorSet"], nlohmann::json({1, 2, 3}));
}

TEST(OntologyCommands, DumpPrintsAnIndentedTree) {
    test::TempDir dir;
    const std::string path = dir.file("ontology.csv");
    test::writeBytes(path, kOntology);
    const ToolResult r = run({"ontology", "dump", path});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string root = "root (root)  index 1, id 997\n";
    const std::string fib = "\n  fibres (fib)  index 5, id 1009\n";
    const std::string grey = "\n  Grey (GRY)  index 8, id 8\n";
    const std::string cortex = "\n    Cortex (CTX)  index 20, id 688\n";
    for (const std::string& line : {root, fib, grey, cortex})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
    EXPECT_LT(r.out.find(fib), r.out.find(grey)) << "children in index order";
    EXPECT_LT(r.out.find(grey), r.out.find(cortex));
    EXPECT_NE(r.out.find("No Annotation (NA)  index 0, id -1\n"), std::string::npos);
}

TEST(OntologyCommands, BadFilesFailWithTheReadersMessage) {
    test::TempDir dir;
    const std::string path = dir.file("bad.csv");
    test::writeBytes(path, "root,root,,1,2,3,1,997\n\n");
    const ToolResult bad = run({"ontology", "dump", path, "--json"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "volumira-tool: error: Unexpected line while reading ontology file: " + path + "\n");
    EXPECT_TRUE(bad.out.empty());

    const ToolResult missing = run({"ontology", "dump", dir.file("missing.csv")});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("missing.csv"), std::string::npos) << missing.err;
}

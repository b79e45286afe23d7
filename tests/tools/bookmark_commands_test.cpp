#include "ToolRun.h"
#include "bookmarks/BookmarkTestData.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace volumira;
using nlohmann::json;

namespace {

const char* const kFile = R"(<?xml version="1.0" encoding="utf-8"?>
<Bookmarks>
    <BookmarkGroup name="Trip" expanded="true">
        <Bookmark name="Thalamus">
            <AtlasStructures>
                <Structure id="549" name="TH"/>
            </AtlasStructures>
            <Rotation>0 0.707107 0 0.707107</Rotation>
            <Origin>1 2 3</Origin>
            <NisslSlice orientation="sagittal" location="50"/>
            <ExpressionScoreThreshold lower="20"/>
        </Bookmark>
    </BookmarkGroup>
    <Bookmark name="Far">
        <Zoom>120</Zoom>
    </Bookmark>
</Bookmarks>
)";

TEST(BookmarkCommands, DumpPrintsTheTreeAsJson) {
    test::BookmarkOntology o;
    test::writeBytes(o.dir.file("Bookmarks.xml"), kFile);
    const auto r = test::runTool({"bookmarks", "dump", o.dir.file("Bookmarks.xml"), "--json", "--data", o.dir.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    const json tree = json::parse(r.out);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0]["name"], "Trip");
    EXPECT_EQ(tree[0]["expanded"], true);
    const json& b = tree[0]["children"][0];
    EXPECT_EQ(b["name"], "Thalamus");
    EXPECT_EQ(b["settings"], 0x02 | 0x04 | 0x10 | 0x40);
    EXPECT_EQ(b["atlasStructures"], json::array({549}));
    EXPECT_EQ(b["expressionFilter"], json::array());
    EXPECT_EQ(b["sliceVisible"], json::array({false, false, true}));
    EXPECT_EQ(b["sliceLocation"][2], 50.0);
    EXPECT_EQ(b["origin"], json::array({1.0, 2.0, 3.0}));
    EXPECT_EQ(b["clipUpper"], json::array({132.0, 80.0, 114.0}));
    EXPECT_EQ(b["scoreLower"], 20.0);
    EXPECT_EQ(b["scoreUpper"], -1.0);
    EXPECT_EQ(tree[1]["zoom"], 120.0);
}

TEST(BookmarkCommands, RewriteGivesTheProgramsOwnText) {
    test::BookmarkOntology o;
    test::writeBytes(o.dir.file("in.xml"), kFile);
    const auto r = test::runTool(
        {"bookmarks", "rewrite", o.dir.file("in.xml"), o.dir.file("out.xml"), "--data", o.dir.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    // The writer always writes both threshold lines of a bookmark that holds thresholds.
    std::string expected = kFile;
    const std::string score = "<ExpressionScoreThreshold lower=\"20\"/>\n";
    expected.insert(expected.find(score) + score.size(), "            <NumberOfExpressorsThreshold/>\n");
    EXPECT_EQ(test::readBytes(o.dir.file("out.xml")), expected);
}

TEST(BookmarkCommands, ErrorsGoToStandardError) {
    test::BookmarkOntology o;
    test::writeBytes(o.dir.file("bad.xml"), "<Bookmarks>");
    const std::pair<std::string, std::string> cases[] = {
        {o.dir.file("missing.xml"), "volumira-tool: error: Bookmarks file could not be opened.\n"},
        {o.dir.file("bad.xml"), "volumira-tool: error: Error parsing bookmarks file.\n"},
    };
    for (const auto& [path, message] : cases) {
        const auto r = test::runTool({"bookmarks", "dump", path, "--data", o.dir.path()});
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.err, message);
        EXPECT_EQ(r.out, "");
    }
}

} // namespace

#include "ToolRun.h"
#include "expression/XprTestFiles.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

using namespace volumira;
using test::Bytes;
using test::ToolResult;

namespace {

// Points the program's own Data directory at an empty folder for the life of the object.
class EmptyDataDirectory {
  public:
    EmptyDataDirectory() {
        if (const char* old = std::getenv("VOLUMIRA_DATA_DIR")) previous_ = old;
        setenv("VOLUMIRA_DATA_DIR", dir_.path().c_str(), 1);
    }
    ~EmptyDataDirectory() {
        if (previous_)
            setenv("VOLUMIRA_DATA_DIR", previous_->c_str(), 1);
        else
            unsetenv("VOLUMIRA_DATA_DIR");
    }
    std::string path() const { return dir_.path() + "/"; }

  private:
    test::TempDir dir_;
    std::optional<std::string> previous_;
};

// A version 3 file with two cells and a section image.
std::string version3File() {
    Bytes b;
    b.i32(3).fill(8, 0);
    for (int e = 0; e < 14; ++e)
        b.i32(e == 1 ? 79 : e == 8 || e == 10 ? 0 : e);
    b.fill(4, 0).i32(1).i32(2).fill(8, 0);
    b.str("glutamate decarboxylase 1").str("Gad1").str("c").str("d").str("e").fill(4, 0);
    b.raw(test::sectionRecord(12, 3456, 800, 600, "\\\\srv\\share\\gad\\primary\\12.jp2", ""));
    b.raw(test::version3Record(test::gridIdOf(10, 20, 30), 1.25f, 0.5f, 180.0f, 12, 40, 50, 3));
    b.raw(test::version3Record(test::gridIdOf(11, 20, 30), 2.5f, 0.75f, 90.0f, 12, 41, 51, 4));
    return b.data;
}

} // namespace

// The current generation stores no structures: converting works where no atlas is installed, and the
// file it writes reads back with the same cells.
TEST(ToolDataDirectory, ConvertNeedsNoAtlas) {
    const EmptyDataDirectory noAtlas;
    test::TempDir files;
    const std::string v3 = files.file("v3.xpr"), current = files.file("current.xpr"),
                      again = files.file("again.xpr");
    test::writeBytes(v3, version3File());

    const ToolResult converted = test::runTool({"xpr", "convert", v3, current});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(converted.out.find("format 20000, 2 cells, 1 section images) from format 3"), std::string::npos)
        << converted.out;
    // The current generation converts to itself byte for byte.
    const ToolResult second = test::runTool({"xpr", "convert", current, again});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(test::readBytes(again), test::readBytes(current));
    EXPECT_GT(test::readBytes(current).size(), 8u);
}

// Commands that read the atlas say which Data directory they tried and how to name another, whether
// that was the program's own or the one given.
TEST(ToolDataDirectory, CommandsThatNeedAnAtlasNameTheDirectoryTheyTried) {
    const EmptyDataDirectory noAtlas;
    test::TempDir files, other;
    const std::string v3 = files.file("v3.xpr"), bookmarks = files.file("bookmarks.xml");
    test::writeBytes(v3, version3File());
    test::writeBytes(bookmarks, "<Bookmarks/>");
    const std::string given = other.path() + "/";
    struct Case {
        std::vector<std::string> args;
        std::string tried;
    };
    const std::vector<Case> cases = {
        {{"xpr", "info", v3}, noAtlas.path()},
        {{"xpr", "info", v3, "--data", other.path()}, given},
        {{"atlas", "plate", "60", "40", "50"}, noAtlas.path()},
        {{"atlas", "plate", "60", "40", "50", "--data", other.path()}, given},
        {{"bookmarks", "dump", bookmarks}, noAtlas.path()},
        {{"bookmarks", "rewrite", bookmarks, files.file("out.xml"), "--data", other.path()}, given},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + std::to_string(c.args.size()));
        const ToolResult r = test::runTool(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.rfind("volumira-tool: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("(Data directory tried: " + c.tried + "; --data DIR names another.)\n"),
                  std::string::npos)
            << r.err;
    }
}

#include "platform/FileUtils.h"
#include "support/TempDir.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace volumira {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

int countEntries(const std::string& directory) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

TEST(FileExists, TellsReadableFilesFromDirectoriesAndMissingNames) {
    TempDir dir;
    writeBytes(dir.file("data.bin"), "abc");
    writeBytes(dir.file("empty"), "");
    std::filesystem::create_directory(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

    struct Case {
        std::string name;
        bool exists;
    } cases[] = {
        {"data.bin", true},
        {"empty", true},
        {"folder", false},
        {"missing", false},
        {"data.bin/x", false},
        {"", false},
        // A pipe without a writer must be answered at once, not block the caller.
        {"pipe", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fileExists(dir.file(c.name)), c.exists) << c.name;
    EXPECT_FALSE(fileExists(""));
}

// Names of one file typed from different places, through a link and with "." and "..", come out as one
// absolute name; a missing file keeps its absolute, tidied name.
TEST(AbsolutePath, GivesOneFileOneNameFromAnyWorkingDirectory) {
    TempDir dir;
    const std::string base = std::filesystem::canonical(dir.path()).string();
    std::filesystem::create_directories(base + "/genes/sub");
    writeBytes(base + "/genes/gene.xpr", "x");
    std::filesystem::create_directory_symlink(base + "/genes", base + "/link");
    // Back to the old working directory however the test ends.
    struct WorkingDirectory {
        std::filesystem::path before = std::filesystem::current_path();
        ~WorkingDirectory() { std::filesystem::current_path(before); }
    } restore;
    std::filesystem::current_path(base + "/genes/sub");

    const std::string gene = base + "/genes/gene.xpr";
    const struct {
        std::string given, expected;
    } cases[] = {
        {"../gene.xpr", gene},
        {"./../../genes/gene.xpr", gene},
        {gene, gene},
        {base + "/link/gene.xpr", gene},
        {base + "/genes/sub/../gene.xpr", gene},
        {"missing.xpr", base + "/genes/sub/missing.xpr"},
        {"../absent/./x.xpr", base + "/genes/absent/x.xpr"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(absolutePath(c.given), c.expected) << c.given;
}

TEST(DeleteFile, DeletesFilesOnlyAndReportsWhetherItDid) {
    TempDir dir;
    writeBytes(dir.file("a"), "x");
    std::filesystem::create_directory(dir.file("folder"));

    EXPECT_TRUE(deleteFile(dir.file("a")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("a")));
    EXPECT_FALSE(deleteFile(dir.file("a")));
    EXPECT_FALSE(deleteFile(dir.file("folder")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
}

TEST(ReplaceFile, MovesSourceOverAnExistingTarget) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    writeBytes(dir.file("new"), "new contents");
    writeBytes(dir.file("sub/target"), "old contents that are longer");

    ASSERT_TRUE(replaceFile(dir.file("new"), dir.file("sub/target")));
    EXPECT_EQ(readBytes(dir.file("sub/target")), "new contents");
    EXPECT_FALSE(std::filesystem::exists(dir.file("new")));

    // Without an existing target it is a plain move.
    writeBytes(dir.file("fresh"), "fresh");
    ASSERT_TRUE(replaceFile(dir.file("fresh"), dir.file("moved")));
    EXPECT_EQ(readBytes(dir.file("moved")), "fresh");
}

TEST(ReplaceFile, FailureLeavesTargetAlone) {
    TempDir dir;
    writeBytes(dir.file("target"), "keep");
    EXPECT_FALSE(replaceFile(dir.file("missing"), dir.file("target")));
    EXPECT_EQ(readBytes(dir.file("target")), "keep");

    writeBytes(dir.file("source"), "data");
    EXPECT_FALSE(replaceFile(dir.file("source"), dir.file("no-such-dir/target")));
    EXPECT_EQ(readBytes(dir.file("source")), "data");
}

// The path taken when source and target lie on different file systems.
TEST(ReplaceFileByCopy, ReplacesTargetKeepsModeAndRemovesSource) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    std::string contents(200000, '\0');
    for (std::size_t i = 0; i < contents.size(); ++i)
        contents[i] = static_cast<char>(i * 7);
    writeBytes(dir.file("source"), contents);
    ASSERT_EQ(::chmod(dir.file("source").c_str(), 0640), 0);
    writeBytes(dir.file("out/target"), "old");

    ASSERT_TRUE(detail::replaceFileByCopy(dir.file("source"), dir.file("out/target")));
    EXPECT_EQ(readBytes(dir.file("out/target")), contents);
    EXPECT_FALSE(std::filesystem::exists(dir.file("source")));
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("out/target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(countEntries(dir.file("out")), 1) << "temporary copy left behind";
}

TEST(ReplaceFileByCopy, RefusesDirectoriesAndMissingSources) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    writeBytes(dir.file("target"), "keep");

    EXPECT_FALSE(detail::replaceFileByCopy(dir.file("folder"), dir.file("target")));
    EXPECT_FALSE(detail::replaceFileByCopy(dir.file("missing"), dir.file("target")));
    EXPECT_EQ(readBytes(dir.file("target")), "keep");
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
    EXPECT_EQ(countEntries(dir.path()), 2) << "temporary copy left behind";
}

TEST(OpenFile, OpensWithModeAndReturnsNullOnFailure) {
    TempDir dir;
    {
        UniqueFile out = openFile(dir.file("f"), "wb");
        ASSERT_TRUE(out);
        ASSERT_EQ(std::fwrite("hello", 1, 5, out.get()), 5u);
    }
    EXPECT_EQ(readBytes(dir.file("f")), "hello");
    EXPECT_FALSE(openFile(dir.file("missing"), "rb"));
    EXPECT_FALSE(openFile(dir.file("f"), nullptr));

    std::fstream stream;
    openFileStream(stream, dir.file("f"), std::ios::in | std::ios::binary);
    std::string word;
    stream >> word;
    EXPECT_EQ(word, "hello");
    std::fstream missing;
    openFileStream(missing, dir.file("missing"), std::ios::in);
    EXPECT_FALSE(missing.is_open());
}

TEST(SmallHelpers, ClockIsMonotonicInWholeMillisecondsAndLabelIsUtf8) {
    double first = secondsNow();
    sleepMilliseconds(20);
    double second = secondsNow();
    EXPECT_GE(second - first, 0.0189);
    double milliseconds = second * 1000.0;
    EXPECT_NEAR(milliseconds, std::round(milliseconds), 1e-3);
    sleepMilliseconds(-5); // must simply return

    EXPECT_EQ(micrometreLabel(), "\xC2\xB5m");
    EXPECT_EQ(&micrometreLabel(), &micrometreLabel());
}

} // namespace
} // namespace volumira

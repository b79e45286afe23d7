#include "platform/DataLocations.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <vector>

namespace volumira {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeBytes;

const char* const kCreateFailed = "Could not create program data directory.";
const char* const kShared = "share/volumira/Data";

// A made-up process: working directory, program directory and installed data all inside one temp dir,
// laid out like an installation prefix (bin/ and share/volumira/Data/).
class LocationsTest : public ::testing::Test {
  protected:
    LocationEnvironment environment() const {
        LocationEnvironment env;
        env.variable = [vars = variables](const std::string& name) -> std::optional<std::string> {
            auto it = vars.find(name);
            if (it == vars.end()) return std::nullopt;
            return it->second;
        };
        env.currentDirectory = dir.file("cwd");
        env.programDirectory = dir.file("bin") + "/";
        return env;
    }
    void makeDirectory(const std::string& relative) { fs::create_directories(dir.file(relative)); }
    void expectThrowsMessage(const std::function<void()>& action, const std::string& message) {
        try {
            action();
            ADD_FAILURE() << "no exception, expected: " << message;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }

    TempDir dir;
    std::map<std::string, std::string> variables;
};

TEST_F(LocationsTest, DataDirectoryLookupOrder) {
    struct Case {
        const char* description;
        std::vector<std::string> existing;
        std::string expected; // relative to the temp dir
    } cases[] = {
        {"working directory Data wins", {"cwd/Data", "bin/Data", kShared}, "cwd/Data/"},
        {"then Data beside the program", {"cwd", "bin/Data", kShared}, "bin/Data/"},
        {"then the installed data", {"cwd", "bin", kShared}, "share/volumira/Data/"},
        {"otherwise beside the program", {"cwd", "bin"}, "bin/Data/"},
        {"share/Data is not the installed data", {"cwd", "bin", "share/Data"}, "bin/Data/"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir.file("cwd"));
        fs::remove_all(dir.file("bin"));
        fs::remove_all(dir.file("share"));
        for (const std::string& path : c.existing)
            makeDirectory(path);
        EXPECT_EQ(resolveDataDirectory(environment()), dir.file(c.expected)) << c.description;
    }
}

TEST_F(LocationsTest, DataDirectoryIgnoresPlainFilesNamedData) {
    makeDirectory("cwd");
    makeDirectory("bin/Data");
    writeBytes(dir.file("cwd/Data"), "not a folder");
    EXPECT_EQ(resolveDataDirectory(environment()), dir.file("bin/Data/"));

    fs::remove_all(dir.file("bin/Data"));
    makeDirectory("share/volumira");
    writeBytes(dir.file("share/volumira/Data"), "not a folder either");
    EXPECT_EQ(resolveDataDirectory(environment()), dir.file("bin/Data/"));
}

// The installed data is found relative to the program, so a whole prefix can be moved.
TEST_F(LocationsTest, InstalledDataFollowsTheProgramToAnyPrefix) {
    for (const char* prefix : {"usr", "opt/volumira", "moved/again/prefix"}) {
        const std::string root = dir.file(prefix);
        fs::create_directories(root + "/bin");
        fs::create_directories(root + "/share/volumira/Data");
        LocationEnvironment env = environment();
        env.programDirectory = root + "/bin/";
        EXPECT_EQ(resolveDataDirectory(env), root + "/share/volumira/Data/") << prefix;
        env.programDirectory = root + "/bin"; // without the trailing slash
        EXPECT_EQ(resolveDataDirectory(env), root + "/share/volumira/Data/") << prefix;
    }
}

TEST_F(LocationsTest, InstalledDataDirectoryIsTheNormalisedShareFolder) {
    struct Case {
        std::string programDirectory, expected;
    } cases[] = {
        {"/usr/bin/", "/usr/share/volumira/Data/"},
        {"/usr/local/bin", "/usr/local/share/volumira/Data/"},
        {"/opt/v/bin//", "/opt/v/share/volumira/Data/"},
        {"/bin/", "/share/volumira/Data/"},
        {"/", "/share/volumira/Data/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(installedDataDirectory(c.programDirectory), c.expected) << c.programDirectory;
}

TEST_F(LocationsTest, DataDirectoryOverrideAndUnknownProgram) {
    makeDirectory("cwd/Data");
    variables["VOLUMIRA_DATA_DIR"] = "/somewhere/else";
    EXPECT_EQ(resolveDataDirectory(environment()), "/somewhere/else/");
    variables["VOLUMIRA_DATA_DIR"] = ""; // empty counts as unset
    EXPECT_EQ(resolveDataDirectory(environment()), dir.file("cwd/Data/"));

    // Without a program path only a working-directory Data can be found.
    LocationEnvironment env = environment();
    env.programDirectory.reset();
    EXPECT_EQ(resolveDataDirectory(env), dir.file("cwd/Data/"));
    fs::remove_all(dir.file("cwd/Data"));
    expectThrowsMessage([&] { resolveDataDirectory(env); }, "Error finding program directory.");
}

TEST_F(LocationsTest, UserAndAtlasDirectoriesAreCreatedUnderXdgDataHome) {
    variables["XDG_DATA_HOME"] = dir.file("xdg/data/"); // missing, with a trailing slash
    variables["HOME"] = dir.file("home");
    std::string base = dir.file("xdg/data/Tessaly Institute/Volumira/");

    EXPECT_EQ(resolveUserDirectory(environment()), base);
    EXPECT_EQ(resolveAtlasDirectory(environment()), base + "Atlas/");
    EXPECT_TRUE(fs::is_directory(base + "Atlas"));
    EXPECT_FALSE(fs::exists(dir.file("home")));
}

TEST_F(LocationsTest, UserDirectoryBaseFallsBackToHomeOrStaysEmpty) {
    variables["HOME"] = dir.file("home");
    variables["XDG_DATA_HOME"] = "relative/ignored";
    EXPECT_EQ(resolveUserDirectory(environment()), dir.file("home/.local/share/Tessaly Institute/Volumira/"));

    variables.erase("HOME");
    variables.erase("XDG_DATA_HOME");
    EXPECT_EQ(resolveUserDirectory(environment()), "");
    EXPECT_EQ(resolveAtlasDirectory(environment()), "");

    // A base folder that cannot be made cannot be named either.
    writeBytes(dir.file("blocked"), "file");
    variables["XDG_DATA_HOME"] = dir.file("blocked/data");
    EXPECT_EQ(resolveUserDirectory(environment()), "");
    EXPECT_TRUE(fs::is_regular_file(dir.file("blocked")));
}

TEST_F(LocationsTest, PlainFileNamedAtlasIsReplacedByADirectory) {
    variables["XDG_DATA_HOME"] = dir.file("xdg");
    makeDirectory("xdg/Tessaly Institute/Volumira");
    writeBytes(dir.file("xdg/Tessaly Institute/Volumira/Atlas"), "in the way");

    EXPECT_EQ(resolveAtlasDirectory(environment()), dir.file("xdg/Tessaly Institute/Volumira/Atlas/"));
    EXPECT_TRUE(fs::is_directory(dir.file("xdg/Tessaly Institute/Volumira/Atlas")));
}

TEST_F(LocationsTest, OverridesAreCreatedWithoutDeletingAnything) {
    variables["XDG_DATA_HOME"] = dir.file("xdg");
    variables["VOLUMIRA_USER_DIR"] = dir.file("user/deep");
    variables["VOLUMIRA_ATLAS_DIR"] = dir.file("atlas/");
    EXPECT_EQ(resolveUserDirectory(environment()), dir.file("user/deep/"));
    EXPECT_EQ(resolveAtlasDirectory(environment()), dir.file("atlas/"));
    EXPECT_TRUE(fs::is_directory(dir.file("user/deep")));
    EXPECT_FALSE(fs::exists(dir.file("xdg")));

    writeBytes(dir.file("precious"), "user file");
    variables["VOLUMIRA_USER_DIR"] = dir.file("precious");
    expectThrowsMessage([&] { resolveUserDirectory(environment()); }, kCreateFailed);
    EXPECT_EQ(test::readBytes(dir.file("precious")), "user file");
}

TEST_F(LocationsTest, EnsureDirectoryCreatesKeepsOrReplaces) {
    makeDirectory("existing");
    writeBytes(dir.file("existing/content"), "kept");
    writeBytes(dir.file("plain"), "in the way");
    fs::create_symlink(dir.file("nowhere"), dir.file("dangling"));

    for (const char* name : {"existing", "new", "new-with-slash/", "plain", "dangling"}) {
        ASSERT_NO_THROW(ensureDirectory(dir.file(name))) << name;
        EXPECT_TRUE(fs::is_directory(dir.file(name))) << name;
    }
    EXPECT_TRUE(fs::exists(dir.file("existing/content")));
    EXPECT_FALSE(fs::exists(dir.file("nowhere")));
}

TEST_F(LocationsTest, EnsureDirectoryFailsWithMessageWhenImpossible) {
    writeBytes(dir.file("file"), "x");
    for (const std::string& path : {dir.file("file/child"), dir.file("missing/child"), std::string()}) {
        expectThrowsMessage([&] { ensureDirectory(path); }, kCreateFailed);
        EXPECT_FALSE(tryEnsureDirectory(path)) << path;
    }
    EXPECT_TRUE(tryEnsureDirectory(dir.file("ok")));
    EXPECT_TRUE(fs::is_directory(dir.file("ok")));
}

// The cached accessors read the real process; the overrides keep them inside the temp dir.
TEST_F(LocationsTest, AccessorsHonourOverridesAndKeepTheirFirstAnswer) {
    ::setenv("VOLUMIRA_DATA_DIR", dir.file("data").c_str(), 1);
    ::setenv("VOLUMIRA_USER_DIR", dir.file("user").c_str(), 1);
    ::setenv("VOLUMIRA_ATLAS_DIR", dir.file("atlas").c_str(), 1);

    EXPECT_EQ(dataDirectory(), dir.file("data/"));
    EXPECT_EQ(userDirectory(), dir.file("user/"));
    EXPECT_EQ(atlasDirectory(), dir.file("atlas/"));
    EXPECT_TRUE(fs::is_directory(dir.file("atlas")));

    ::setenv("VOLUMIRA_DATA_DIR", dir.file("other").c_str(), 1);
    EXPECT_EQ(dataDirectory(), dir.file("data/"));

    ::unsetenv("VOLUMIRA_DATA_DIR");
    ::unsetenv("VOLUMIRA_USER_DIR");
    ::unsetenv("VOLUMIRA_ATLAS_DIR");
}

} // namespace
} // namespace volumira

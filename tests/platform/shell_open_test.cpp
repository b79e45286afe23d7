#include "platform/FileUtils.h"
#include "platform/ShellOpen.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace volumira {
namespace {

class RecordingOpener : public ShellOpener {
  public:
    void open(const std::string& target) override { targets.push_back(target); }
    std::vector<std::string> targets;
};

// Restores the default opener even when an assertion ends a test early.
struct OpenerGuard {
    ~OpenerGuard() { setShellOpener(nullptr); }
};

TEST(ShellOpen, GoesToTheInstalledOpenerUntilItIsRemoved) {
    OpenerGuard guard;
    RecordingOpener first;
    RecordingOpener second;

    setShellOpener(&first);
    shellOpen("/tmp/gene.xpr");
    shellOpen("http://localhost:8080/page?a=1&b=2");
    setShellOpener(&second);
    shellOpen("");

    EXPECT_EQ(first.targets,
              (std::vector<std::string>{"/tmp/gene.xpr", "http://localhost:8080/page?a=1&b=2"}));
    EXPECT_EQ(second.targets, std::vector<std::string>{""});

    setShellOpener(nullptr);
    setShellOpener(&first);
    shellOpen("again");
    EXPECT_EQ(first.targets.size(), 3u);
}

// The default opener passes the target as one argument with no shell in between. "touch" stands in for
// xdg-open: the file it creates must carry the target's exact name, metacharacters and all.
TEST(SpawnShellOpener, PassesTargetVerbatimWithoutAShell) {
    test::TempDir dir;
    const std::string names[] = {"plain", "a b; touch injected", "$(touch injected)",
                                 "`x` && y | z 'q' \"r\""};
    SpawnShellOpener opener("touch");
    for (const std::string& name : names)
        opener.open(dir.file(name));

    // The opener does not wait, so give the children time to finish.
    for (int waited = 0; waited < 10000; waited += 20) {
        bool all = true;
        for (const std::string& name : names)
            all = all && fileExists(dir.file(name));
        if (all) break;
        sleepMilliseconds(20);
    }
    for (const std::string& name : names)
        EXPECT_TRUE(fileExists(dir.file(name))) << name;
    EXPECT_FALSE(std::filesystem::exists("injected"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("injected")));
}

TEST(SpawnShellOpener, MissingProgramIsNotAnError) {
    SpawnShellOpener opener("volumira-no-such-program");
    EXPECT_NO_THROW(opener.open("anything"));
}

} // namespace
} // namespace volumira

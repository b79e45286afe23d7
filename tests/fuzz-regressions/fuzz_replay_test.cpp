// Replays the kept inputs of every fuzz target. A fault that returns crashes this test or lets an
// exception out of the harness, which the reader should have turned into its own error.

#include "harness/FuzzTargets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRegressions = VOLUMIRA_FUZZ_REGRESSIONS;

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzReplay, EveryFolderNamesATarget) {
    for (const auto& entry : fs::directory_iterator(kRegressions)) {
        if (entry.is_directory())
            EXPECT_NE(volumira::fuzz::findTarget(entry.path().filename().string()), nullptr)
                << entry.path() << " is not the folder of a fuzz target";
    }
}

TEST(FuzzReplay, KeptInputsAreHandled) {
    int replayed = 0;
    for (const volumira::fuzz::Target& target : volumira::fuzz::targets()) {
        const fs::path folder = kRegressions / std::string(target.name);
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::vector<std::uint8_t> bytes = fileBytes(entry.path());
            EXPECT_NO_THROW(target.run(bytes));
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "no kept inputs under " << kRegressions;
}

} // namespace

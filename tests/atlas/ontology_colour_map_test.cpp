#include "atlas/ColourMap.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace volumira;

namespace {

// A map file of 256 entries, all black except those given.
std::string mapFile(const std::vector<std::pair<int, std::string>>& entries) {
    std::vector<std::string> lines(256, "0 0 0");
    for (const auto& [i, text] : entries)
        lines[i] = text;
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The first n entries of a map file with distinct colours.
std::string entries(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += std::to_string(i) + " 1 2\n";
    return text;
}

} // namespace

TEST(ColourMap, NeverLoadedIsAllBlack) {
    const ColourMap map;
    EXPECT_EQ(map.firstColourIndex(), 0);
    for (std::uint8_t byte : map.data())
        EXPECT_EQ(byte, 0);
}

TEST(ColourMap, StoresLowBytesWhateverTheWhiteSpace) {
    test::TempDir dir;
    std::string text = mapFile({{1, "10 20 30"}, {5, "256 300 -1"}, {255, "255 254 253"}});
    text.replace(text.find("10 20 30\n"), 9, "10\t20\n  30 ");
    const std::string path = dir.file("a.map");
    test::writeBytes(path, text);

    ColourMap map;
    map.load(path);
    EXPECT_EQ(map.colour(1), (std::array<std::uint8_t, 3>{10, 20, 30}));
    EXPECT_EQ(map.colour(5), (std::array<std::uint8_t, 3>{0, 44, 255}));
    EXPECT_EQ(map.colour(255), (std::array<std::uint8_t, 3>{255, 254, 253}));
    EXPECT_EQ(map.colour(0), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(map.data()[5 * 3 + 1], 44);
    EXPECT_EQ(map.data()[255 * 3 + 2], 253);
    EXPECT_THROW(map.colour(256), std::invalid_argument);
    EXPECT_THROW(map.colour(-1), std::invalid_argument);
}

TEST(ColourMap, FirstColourIndexIsTheLowestNonBlackEntryAboveZero) {
    test::TempDir dir;
    const std::vector<std::pair<std::string, int>> cases = {
        {mapFile({{3, "0 0 1"}, {9, "5 5 5"}}), 3},
        {mapFile({{0, "1 2 3"}, {7, "0 9 0"}}), 7},
        {mapFile({{0, "1 2 3"}}), 0},
        {mapFile({}), 0},
        {mapFile({{4, "256 512 0"}, {6, "1 0 0"}}), 6}, // 256 and 512 store 0: still black
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const std::string path = dir.file("c" + std::to_string(c) + ".map");
        test::writeBytes(path, cases[c].first);
        ColourMap map;
        map.load(path);
        EXPECT_EQ(map.firstColourIndex(), cases[c].second) << "case " << c;
    }
}

TEST(ColourMap, BadFilesThrowAndKeepTheLoadedMap) {
    test::TempDir dir;
    const std::string good = dir.file("good.map");
    test::writeBytes(good, mapFile({{2, "7 8 9"}}));
    ColourMap map;
    map.load(good);

    const std::vector<std::pair<const char*, std::string>> shortFiles = {
        {"empty", ""},
        {"255 entries", entries(255)},
        {"ends inside the last entry", entries(255) + "1 2"},
        {"a word instead of a number", entries(100) + "1 two 3\n" + entries(155)},
    };
    for (const auto& [what, text] : shortFiles) {
        const std::string path = dir.file("short.map");
        test::writeBytes(path, text);
        EXPECT_EQ(test::errorOf([&] { map.load(path); }), "Unexpected end of colormap file: " + path) << what;
    }
    for (const std::string& path : {dir.file("missing.map"), dir.path()})
        EXPECT_EQ(test::errorOf([&] { map.load(path); }), "Colormap file could not be opened: " + path);

    EXPECT_EQ(map.colour(2), (std::array<std::uint8_t, 3>{7, 8, 9}));
    EXPECT_EQ(map.colour(254), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(map.firstColourIndex(), 2);

    const std::string exact = dir.file("exact.map");
    test::writeBytes(exact, entries(256));
    map.load(exact);
    EXPECT_EQ(map.colour(255), (std::array<std::uint8_t, 3>{255, 1, 2}));
}

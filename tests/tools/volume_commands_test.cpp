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

// Width and height from a PNG's header chunk.
std::pair<int, int> pngSize(const std::string& bytes) {
    const auto be = [&](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) |
               (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    return {static_cast<int>(be(16)), static_cast<int>(be(20))};
}

const std::vector<std::string> kDims = {"--dims", "40", "24", "30", "--spacing", "25"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more = kDims) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

TEST(VolumeCommands, PhantomRoundTripsThroughTheSliceCompressedFormat) {
    test::TempDir dir;
    const std::string raw = dir.file("v.raw"), comp = dir.file("v.comp"), back = dir.file("back.raw");
    ASSERT_EQ(run(with({"volume", "phantom", raw})).status, 0);
    const ToolResult compressed = run(with({"volume", "compress", raw, comp}));
    ASSERT_EQ(compressed.status, 0) << compressed.err;
    EXPECT_NE(compressed.out.find("slice-compressed"), std::string::npos);
    ASSERT_EQ(run(with({"volume", "decompress", comp, back})).status, 0);
    EXPECT_EQ(test::readBytes(back).size(), 40u * 24 * 30);

    const ToolResult diff = run(with({"volume", "compare", raw, back, "--json"}));
    ASSERT_EQ(diff.status, 0) << diff.err;
    const auto d = nlohmann::json::parse(diff.out);
    EXPECT_GT(d["psnr"].get<double>(), 30.0) << "the JPEG round trip looks like the input";
    EXPECT_LE(d["maxAbsDifference"].get<int>(), 60);

    const ToolResult same = run(with({"volume", "compare", raw, raw, "--json"}));
    EXPECT_EQ(nlohmann::json::parse(same.out)["maxAbsDifference"], 0);
    EXPECT_TRUE(nlohmann::json::parse(same.out)["psnr"].is_null());
}

TEST(VolumeCommands, InfoReportsGeometryAndStatistics) {
    test::TempDir dir;
    const std::string raw = dir.file("v.raw");
    ASSERT_EQ(run(with({"volume", "phantom", raw})).status, 0);
    const ToolResult info = run(with({"volume", "info", raw, "--json"}));
    ASSERT_EQ(info.status, 0) << info.err;
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["format"], "raw");
    EXPECT_EQ(j["dimensions"], nlohmann::json({40, 24, 30}));
    EXPECT_EQ(j["voxelCount"], 40 * 24 * 30);
    EXPECT_EQ(j["fileSize"], 40 * 24 * 30);
    std::size_t histogramTotal = 0;
    for (const auto& bin : j["histogram"])
        histogramTotal += bin.get<std::size_t>();
    EXPECT_EQ(histogramTotal, 40u * 24 * 30);
    EXPECT_EQ(j["min"], 0) << "the phantom has empty space around the brain";
    EXPECT_GT(j["max"].get<int>(), 150);
    EXPECT_GT(j["nonZero"].get<int>(), 0);
    EXPECT_LT(j["nonZero"].get<int>(), 40 * 24 * 30);

    const ToolResult text = run(with({"volume", "info", raw}));
    EXPECT_NE(text.out.find("40 x 24 x 30 voxels at 25 µm"), std::string::npos) << text.out;
}

TEST(VolumeCommands, SlicesAlongEachAxisHaveTheirPlaneSize) {
    test::TempDir dir;
    const std::string comp = dir.file("v.comp");
    ASSERT_EQ(run(with({"volume", "phantom", comp})).status, 0);
    const struct {
        const char* axis;
        int width, height;
    } cases[] = {{"x", 30, 24}, {"1", 30, 40}, {"z", 40, 24}};
    for (const auto& c : cases) {
        const std::string png = dir.file(std::string("slice-") + c.axis + ".png");
        const ToolResult r =
            run(with({"volume", "slice", comp, "--axis", c.axis, "--index", "5", "--out", png}));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(pngSize(test::readBytes(png)), std::make_pair(c.width, c.height)) << c.axis;
    }
}

TEST(VolumeCommands, BadArgumentsAndFilesGiveClearErrors) {
    test::TempDir dir;
    const std::string raw = dir.file("v.raw");
    ASSERT_EQ(run(with({"volume", "phantom", raw})).status, 0);
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {"no command", {}, "A subcommand is required"},
        {"unknown command", {"frobnicate"}, "unknown command \"frobnicate\""},
        {"missing dims", {"volume", "info", raw}, "--dims is required"},
        {"negative dims", {"volume", "info", raw, "--dims", "40", "-24", "30"}, "--dims"},
        {"missing file", with({"volume", "info", dir.file("none")}), "File does not exist"},
        {"wrong size",
         {"volume", "info", raw, "--dims", "40", "24", "31"},
         "it holds 28800 bytes, the dimensions need 29760"},
        {"slice index outside",
         with({"volume", "slice", raw, "--axis", "z", "--index", "30", "--out", dir.file("p.png")}),
         "Slice index 30 is outside 0..29."},
        {"unknown axis", with({"volume", "slice", raw, "--axis", "w", "--out", dir.file("p.png")}),
         "Unknown axis"},
        {"raw read as compressed", with({"volume", "decompress", raw, dir.file("o.raw")}),
         dir.file("v.raw") + ": Not a JPEG file"},
    };
    for (const auto& c : cases) {
        const ToolResult r = run(c.args);
        EXPECT_NE(r.status, 0) << c.name;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << c.name << ": " << r.err;
    }
}

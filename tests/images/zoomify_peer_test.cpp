#include "ZoomifyPeer.h"

#include "images/TiledImage.h"
#include "net/HeadlessUiDispatcher.h"
#include "net/ServerUrls.h"
#include "net/UiDispatcher.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GLDisplay.h"
#include "storage/MemoryTileCache.h"
#include "volumira-tool/Tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace volumira {
namespace {

namespace fs = std::filesystem;

// Counts the redraws the image asks for; the pixels are read from the image's own pictures.
class CountingDisplay : public GLDisplay {
  public:
    void redrawNow() override {}
    void requestRedraw() override { ++redraws; }
    void swapBuffers() override {}
    bool makeCurrent() override { return false; }
    void setVerticalSync(bool) override {}
    void setMouseMoveEvents(bool) override {}
    int width() const override { return 800; }
    int height() const override { return 600; }
    void captureMouse() override {}
    void releaseMouse() override {}
    void startTimer(int, TimerListener*) override {}
    void stopTimer() override {}
    std::unique_ptr<GLTextBox> createTextBox(int, int, bool, int) override { return nullptr; }
    int redraws = 0;
};

class ZoomifyPeerTest : public ::testing::Test {
  protected:
    ZoomifyPeerTest() {
        store.writeText(kSettingsSection, "HostName", peer.host());
        preferences = std::make_unique<UserPreferences>(store, PreferencesEnvironment::ofProcess());
        urls = std::make_unique<ServerUrls>(*preferences);
        setUiDispatcher(&dispatcher);
    }

    std::unique_ptr<TiledImage> makeImage() {
        auto image = std::make_unique<TiledImage>(
            256, 256, display,
            TiledImageServices{*urls, layer0, layer1, [this](const std::string& url) { opened.push_back(url); },
                               {13300.0, 8100.0, 11500.0}});
        image->show();
        return image;
    }

    // Shows the pyramid at the point, reading its size from the server, and waits for every tile.
    void showAndSettle(TiledImage& image, const std::string& path, int x, int y) {
        TiledImage::Record record;
        record.imageId = 7;
        record.path = path;
        image.setImage(record, x, y, 0, 0.0f);
        ASSERT_TRUE(dispatcher.pumpUntil([&] { return image.isSettled(); }, std::chrono::seconds(30)))
            << "the panel never settled";
    }

    // The mean and the largest difference between the panel and the picture reduced four times (box filter)
    // around the point; pixels the panel leaves grey are skipped and counted.
    struct Comparison {
        double mean = 0;
        int largest = 0, compared = 0, grey = 0;
    };
    static Comparison compare(const BgraPicture& panel, const test::RgbPicture& picture, int centreX, int centreY) {
        Comparison c;
        long long sum = 0;
        const int left = centreX / 4 - 128, top = centreY / 4 - 128;
        for (int py = 0; py < 256; ++py) {
            for (int px = 0; px < 256; ++px) {
                const std::uint8_t* shown = panel.pixels() + (static_cast<std::size_t>(py) * 256 + px) * 4;
                const int sx = (left + px) * 4, sy = (top + py) * 4;
                if (sx < 0 || sy < 0 || sx + 4 > picture.width || sy + 4 > picture.height) continue;
                if (shown[0] == 128 && shown[1] == 128 && shown[2] == 128) ++c.grey;
                for (int channel = 0; channel < 3; ++channel) {
                    int total = 0;
                    for (int dy = 0; dy < 4; ++dy)
                        for (int dx = 0; dx < 4; ++dx) total += picture.at(sx + dx, sy + dy)[channel];
                    // BGRA on the panel, RGB in the picture.
                    const int difference = std::abs(shown[2 - channel] - (total + 8) / 16);
                    sum += difference;
                    c.largest = std::max(c.largest, difference);
                }
                ++c.compared;
            }
        }
        c.mean = c.compared ? static_cast<double>(sum) / (3.0 * c.compared) : 0;
        return c;
    }

    test::ZoomifyPeer peer;
    MemorySettingsStore store;
    std::unique_ptr<UserPreferences> preferences;
    std::unique_ptr<ServerUrls> urls;
    HeadlessUiDispatcher dispatcher;
    MemoryTileCache layer0, layer1;
    CountingDisplay display;
    std::vector<std::string> opened;
};

TEST_F(ZoomifyPeerTest, ThePanelShowsTheImageAtAQuarterAndTheSameLayoutAgainComesFromTheCaches) {
    const test::RgbPicture picture = test::testPicture(2048, 1536);
    peer.addPyramid("gradient", picture);
    auto image = makeImage();
    struct Point {
        int x, y;
    };
    for (const Point at : {Point{1024, 768}, Point{300, 1400}, Point{2000, 100}}) {
        SCOPED_TRACE(std::to_string(at.x) + "," + std::to_string(at.y));
        showAndSettle(*image, "gradient", at.x, at.y);
        EXPECT_EQ(image->levelCount(), 4);
        EXPECT_EQ(image->layout().level, 1);
        EXPECT_EQ(image->counts().failed, 0);
        const Comparison c = compare(image->layerPicture(0), picture, at.x, at.y);
        EXPECT_GT(c.compared, 100 * 100);
        EXPECT_EQ(c.grey, 0);
        // JPEG at quality 92 and vips's own reduction against a box filter.
        EXPECT_LT(c.mean, 3.0);
        EXPECT_LT(c.largest, 24);
    }

    const int requests = peer.requestCount();
    showAndSettle(*image, "gradient", 1024, 768);
    EXPECT_EQ(peer.requestCount(), requests + 1) << "the properties are read again, nothing else";
    EXPECT_EQ(image->counts().fetched, 0);
    EXPECT_EQ(image->counts().cached, static_cast<int>(image->layout().tiles.size()) + 1);

    // A click in the panel opens the image's page at the point shown.
    image->setOrigin(0, 0);
    EXPECT_TRUE(image->mouseDown(0, 100, 100, 0, 0));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], urls->imagePage(7, ServerUrls::pagePosition(1024, 2048), ServerUrls::pagePosition(768, 1536),
                                         ServerUrls::kSectionImageZoom));
    EXPECT_FALSE(image->mouseDown(0, 300, 100, 0, 0)) << "outside the panel";
}

TEST_F(ZoomifyPeerTest, TileGroupsAndTileSizeAreThoseOfTheFilesWritten) {
    // With 64-pixel tiles this picture needs more than one tile group.
    const std::string folder = peer.addPyramid("small-tiles", test::testPicture(2048, 1536), 64);
    const ZoomifyPyramid pyramid(2048, 1536, 64);
    int files = 0, inLaterGroups = 0;
    for (const auto& group : fs::directory_iterator(folder)) {
        const std::string name = group.path().filename().string();
        if (name.rfind("TileGroup", 0) != 0) continue;
        const int number = std::stoi(name.substr(9));
        for (const auto& tile : fs::directory_iterator(group.path())) {
            int level = 0, x = 0, y = 0;
            ASSERT_EQ(std::sscanf(tile.path().filename().c_str(), "%d-%d-%d.jpg", &level, &x, &y), 3);
            EXPECT_EQ(pyramid.tileGroup(level, x, y), number) << tile.path();
            ++files;
            inLaterGroups += number > 0;
        }
    }
    EXPECT_GT(inLaterGroups, 0);
    EXPECT_EQ(files, pyramid.tilesAcross(5) * pyramid.tilesDown(5) + pyramid.tilesAcross(4) * pyramid.tilesDown(4) +
                         pyramid.tilesAcross(3) * pyramid.tilesDown(3) + pyramid.tilesAcross(2) * pyramid.tilesDown(2) +
                         pyramid.tilesAcross(1) * pyramid.tilesDown(1) + 1);

    auto image = makeImage();
    showAndSettle(*image, "small-tiles", 1024, 768);
    EXPECT_EQ(image->levelCount(), 6);
    EXPECT_EQ(image->counts().failed, 0);
    EXPECT_EQ(image->layout().tiles.size(), 16u) << "a 256-pixel panel on the grid of 64-pixel tiles";
    const Comparison c = compare(image->layerPicture(0), test::testPicture(2048, 1536), 1024, 768);
    EXPECT_EQ(c.grey, 0);
    EXPECT_LT(c.mean, 3.0);
}

TEST_F(ZoomifyPeerTest, BrokenMissingAndSlowTilesLeaveTheirPlaceBlankAndNothingElse) {
    const test::RgbPicture picture = test::testPicture(2048, 1536);
    const std::string folder = peer.addPyramid("slow/faults", picture);
    // Level 1 of this pyramid is 2 x 2 tiles, numbered after the one of level 0: all in group 0.
    const std::string tiles = folder + "/TileGroup0/";
    test::run("vips colourspace '" + tiles + "1-0-0.jpg' '" + folder + "/grey.v' b-w && vips jpegsave '" + folder +
              "/grey.v' '" + tiles + "1-0-0.jpg'");
    const std::string whole = test::readBytes(tiles + "1-1-0.jpg");
    test::writeBytes(tiles + "1-1-0.jpg", whole.substr(0, whole.size() / 3));
    fs::remove(tiles + "1-0-1.jpg");
    // 1-1-1 arrives at 4 kB/s, like the rest of this folder: slow, but it arrives.

    auto image = makeImage();
    showAndSettle(*image, "slow/faults", 1024, 768);
    EXPECT_EQ(image->counts().failed, 3);
    const BgraPicture& panel = image->layerPicture(0);
    const auto pixel = [&](int x, int y) { return panel.pixels() + (static_cast<std::size_t>(y) * 256 + x) * 4; };
    // Quadrants: top left grayscale, top right truncated, bottom left missing, bottom right slow.
    for (const auto& [x, y] : {std::pair{64, 64}, std::pair{192, 64}, std::pair{64, 192}}) {
        EXPECT_EQ(pixel(x, y)[0], 128) << x << "," << y;
        EXPECT_EQ(pixel(x, y)[1], 128) << x << "," << y;
    }
    const std::uint8_t* slow = pixel(192, 192);
    // Panel pixel (192, 192) is level pixel (128 + 192, 64 + 192).
    EXPECT_NEAR(slow[2], picture.at((128 + 192) * 4, (64 + 192) * 4)[0], 12) << "the slow tile arrived";
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(layer0.retrieve(7, 1, 0, 0, bytes)) << "the grayscale tile left the cache";
    EXPECT_FALSE(layer0.retrieve(7, 1, 1, 0, bytes)) << "the truncated tile left the cache";
    EXPECT_TRUE(layer0.retrieve(7, 1, 1, 1, bytes));
}

TEST_F(ZoomifyPeerTest, WithASecondLayerATileIsShownOnlyWhenBothOfItsLayersArrived) {
    const test::RgbPicture picture = test::testPicture(2048, 1536);
    peer.addPyramid("first", picture);
    const std::string second = peer.addPyramid("second", test::testPicture(2048, 1536));
    std::filesystem::remove(second + "/TileGroup0/1-0-1.jpg");
    auto image = makeImage();
    TiledImage::Record record;
    record.imageId = 8;
    record.path = "first";
    record.secondPath = "second";
    record.width = 2048;
    record.height = 1536;
    image->setImage(record, 1024, 768, 1, 0.0f);
    ASSERT_TRUE(dispatcher.pumpUntil([&] { return image->isSettled(); }, std::chrono::seconds(30)));
    EXPECT_EQ(image->counts().failed, 1);
    const auto pixel = [&](int layer, int x, int y) {
        return image->layerPicture(layer).pixels() + (static_cast<std::size_t>(y) * 256 + x) * 4;
    };
    for (int layer = 0; layer < 2; ++layer) {
        EXPECT_EQ(pixel(layer, 64, 192)[1], 128) << "bottom left: its second layer is missing, layer " << layer;
        EXPECT_NE(pixel(layer, 64, 64)[1], 128) << "top left arrived whole, layer " << layer;
    }
    // Plane 1 lays the navigator along the first atlas axis.
    EXPECT_EQ(image->navigatorWidth(), 219);
    EXPECT_EQ(image->navigatorHeight(), 133);
}

TEST_F(ZoomifyPeerTest, TheToolDrawsThePanelAndItsNavigatorIntoAPng) {
    peer.addPyramid("gradient", test::testPicture(2048, 1536));
    // The tool installs a dispatcher of its own.
    setUiDispatcher(nullptr);
    const std::string png = peer.folder().file("panel.png");
    const char* argv[] = {"volumira-tool", "section-image", "--server", nullptr, "--path", "gradient",
                          "--centre", "1024,768", "--out", png.c_str(), "--json"};
    const std::string host = peer.host();
    argv[3] = host.c_str();
    std::ostringstream out, err;
    ASSERT_EQ(tool::runTool(11, argv, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "{\"cached\":0,\"failed\":0,\"fetched\":5,\"height\":256,\"width\":449}\n");
    // The PNG's header: 256 + 4 + 189 pixels across (the navigator of a coronal image), 256 down.
    const std::string bytes = test::readBytes(png);
    ASSERT_GT(bytes.size(), 24u);
    const auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 449);
    EXPECT_EQ(be32(20), 256);

    argv[5] = "nowhere";
    std::ostringstream none, noneErr;
    EXPECT_EQ(tool::runTool(11, argv, none, noneErr), 1);
    EXPECT_NE(noneErr.str().find("404"), std::string::npos) << noneErr.str();
}

TEST_F(ZoomifyPeerTest, PropertiesThatAreNotAPyramidsLeaveThePanelEmpty) {
    const std::string folder = peer.folder().file("www/pyramid/not-zoomify");
    test::run("mkdir -p '" + folder + "'");
    test::writeBytes(folder + "/ImageProperties.xml", "<html><body>moved</body></html>");
    auto image = makeImage();
    showAndSettle(*image, "not-zoomify", 10, 10);
    EXPECT_EQ(image->propertiesError(), "Unexpected data in image properties.");
    EXPECT_TRUE(image->layout().tiles.empty());
    EXPECT_FALSE(image->canOpenPage());
    EXPECT_EQ(image->counts().fetched, 0);

    showAndSettle(*image, "nowhere", 10, 10);
    EXPECT_NE(image->propertiesError().find("404"), std::string::npos) << image->propertiesError();
    EXPECT_TRUE(image->layout().tiles.empty());
}

} // namespace
} // namespace volumira

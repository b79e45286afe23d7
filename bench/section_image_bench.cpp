// The full-resolution section image panel against the project's data server on loopback, drawn into an
// offscreen context (llvmpipe here), for the viewer's 256 x 256 panel and a 1024 x 1024 one:
//   panel: from setting the image (size known) until every visible tile and the navigator's overview
//   have arrived and the panel is drawn, the tile caches empty      goal: <= 1.5 x the floor
//   floor: curl --parallel --parallel-max 5 fetching the same tiles to disk, then libjpeg decoding each
// and a check: the same panel laid out again sends the server no request.
// Usage: section_image_bench [work-dir] [benchmark flags]

#include "BenchMain.h"
#include "atlas/AtlasGrid.h"
#include "images/TiledImage.h"
#include "net/HeadlessUiDispatcher.h"
#include "net/ServerUrls.h"
#include "net/UiDispatcher.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/OffscreenView.h"
#include "sample-data/SampleAtlas.h"
#include "storage/MemoryTileCache.h"
#include "volumira-server/DataServer.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace volumira;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A coronal plate of the sample atlas, at a point inside the brain.
const std::string kPlate = "production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-214.aff";
constexpr int kCentreX = 2838, kCentreY = 2000;
constexpr std::chrono::seconds kPatience{60};

struct World {
    std::string data, files;
    std::unique_ptr<server::DataServer> server;
    std::thread serving;
    std::atomic<int> requests{0};
    MemorySettingsStore store;
    std::unique_ptr<UserPreferences> preferences;
    std::unique_ptr<ServerUrls> urls;
    HeadlessUiDispatcher dispatcher;
    std::unique_ptr<OffscreenView> view;
};
World* gWorld = nullptr;

void prepare(const std::string& dir) {
    gWorld = new World;
    World& w = *gWorld;
    w.data = dir + "/Data/";
    w.files = dir + "/curl/";
    if (!fs::exists(w.data + "ontology.csv")) {
        std::printf("Generating the sample atlas in %s ...\n", w.data.c_str());
        sample::writeSampleAtlas(w.data, sample::SampleGrid::full());
    }
    fs::create_directories(w.files);
    w.server = std::make_unique<server::DataServer>(w.data);
    w.server->setLogger([&w](const std::string&) { ++w.requests; });
    const int port = w.server->bind("127.0.0.1", 0);
    w.serving = std::thread([&w] { w.server->serve(); });
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!w.server->isRunning() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!w.server->isRunning()) throw std::runtime_error("The data server did not start");
    w.store.writeText(kSettingsSection, "HostName", "http://127.0.0.1:" + std::to_string(port));
    setUiDispatcher(&w.dispatcher);
    w.preferences = std::make_unique<UserPreferences>(w.store, PreferencesEnvironment::ofProcess());
    w.urls = std::make_unique<ServerUrls>(*w.preferences);
    w.view = std::make_unique<OffscreenView>(1600, 1100);
    if (!w.view->makeCurrent()) throw std::runtime_error("No offscreen GL context");
}

std::unique_ptr<TiledImage> makePanel(World& w, int size, MemoryTileCache& layer0, MemoryTileCache& layer1) {
    std::array<double, 3> extent{};
    for (std::size_t axis = 0; axis < 3; ++axis) extent[axis] = atlas::kCoarseDims[axis] * atlas::kCoarseSpacing;
    auto panel = std::make_unique<TiledImage>(size, size, *w.view, TiledImageServices{*w.urls, layer0, layer1, {}, extent});
    panel->show();
    return panel;
}

// Lays the panel out and waits for every tile; throws when one fails or nothing comes.
void showPanel(World& w, TiledImage& panel) {
    panel.setImageByPath(kPlate, kCentreX, kCentreY, atlas::kCoronalPlateWidth, atlas::kCoronalPlateHeight, 0,
                         atlas::kCoronalPlateMicrometresPerPixel, 1);
    if (!w.dispatcher.pumpUntil([&] { return panel.isSettled(); }, kPatience))
        throw std::runtime_error("the panel did not settle");
    if (panel.counts().failed > 0) throw std::runtime_error("a tile failed");
}

void drawPanel(World& w, TiledImage& panel) {
    w.view->makeCurrent();
    glViewport(0, 0, w.view->width(), w.view->height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w.view->width(), 0, w.view->height(), -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    panel.draw(0.5f);
    glFinish();
}

void BM_Panel(benchmark::State& state, int size) {
    World& w = *gWorld;
    for (auto _ : state) {
        MemoryTileCache layer0, layer1;
        auto panel = makePanel(w, size, layer0, layer1);
        const Clock::time_point start = Clock::now();
        try {
            showPanel(w, *panel);
            drawPanel(w, *panel);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        state.counters["tiles"] = panel->counts().fetched;
    }
}

// The addresses the panel fetches: every visible tile of the shown level and the overview.
std::vector<std::string> tileUrls(World& w, int size) {
    const ZoomifyPyramid pyramid(atlas::kCoronalPlateWidth, atlas::kCoronalPlateHeight);
    const TileLayout layout = layoutTiles(pyramid, size, size, kCentreX, kCentreY);
    std::vector<std::string> urls{w.urls->imageTile(kPlate, 0, 0, 0, 0)};
    for (const VisibleTile& t : layout.tiles)
        urls.push_back(w.urls->imageTile(kPlate, pyramid.tileGroup(layout.level, t.column, t.row), layout.level,
                                         t.column, t.row));
    return urls;
}

void BM_CurlPlusDecode(benchmark::State& state, int size) {
    World& w = *gWorld;
    const std::vector<std::string> urls = tileUrls(w, size);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < urls.size(); ++i) paths.push_back(w.files + std::to_string(i) + ".jpg");
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        try {
            volumira::bench::curlParallel(urls, paths);
            for (const std::string& path : paths) {
                BgraPicture picture;
                decodeTile(volumira::bench::readWhole(path), picture);
            }
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        state.counters["tiles"] = static_cast<double>(urls.size());
    }
}

void registerBenchmarks() {
    for (const int size : {256, 1024}) {
        const std::string suffix = std::to_string(size);
        benchmark::RegisterBenchmark(("BM_Panel" + suffix).c_str(), BM_Panel, size)
            ->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
        benchmark::RegisterBenchmark(("BM_CurlPlusDecode" + suffix).c_str(), BM_CurlPlusDecode, size)
            ->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
    }
}

// The same panel laid out twice on the same caches: every request the server logs for the second.
void checkCachedLayout(World& w) {
    MemoryTileCache layer0, layer1;
    auto panel = makePanel(w, 256, layer0, layer1);
    showPanel(w, *panel);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int before = w.requests;
    showPanel(w, *panel);
    drawPanel(w, *panel);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int made = w.requests - before;
    std::printf("%-24s %6d requests for the same panel laid out again  expected 0  %s\n", "cached layout", made,
                made == 0 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    const std::string dir = volumira::bench::initialise(
        argc, argv, (fs::temp_directory_path() / "volumira-section-image-bench").string(), 7);
    try {
        prepare(dir);
        // The server draws a tile the first time it is asked for: both sides then read its cache.
        MemoryTileCache layer0, layer1;
        auto warm = makePanel(*gWorld, 1024, layer0, layer1);
        showPanel(*gWorld, *warm);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "section_image_bench: %s\n", e.what());
        return 1;
    }
    registerBenchmarks();
    volumira::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nMedian times and ratios:\n");
    for (const char* size : {"256", "1024"}) {
        const std::string panel = std::string("BM_Panel") + size, floor = std::string("BM_CurlPlusDecode") + size;
        std::printf("%-24s %8.1f ms  (%s x %s panel, tiles and overview, drawn)\n", "panel", reporter.median(panel.c_str()),
                    size, size);
        std::printf("%-24s %8.1f ms  (curl --parallel --parallel-max 5 to files, then libjpeg)\n", "floor",
                    reporter.median(floor.c_str()));
        reporter.printRatio(panel.c_str(), floor.c_str(), 1.5);
    }
    int status = 0;
    try {
        checkCachedLayout(*gWorld);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "section_image_bench: %s\n", e.what());
        status = 1;
    }
    gWorld->server->stop();
    gWorld->serving.join();
    return status;
}

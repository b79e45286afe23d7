// The brain scene of the generated sample atlas at 1280 x 800 in an offscreen context (llvmpipe here):
//   one quality frame with every leaf structure shown, and with the searchable divisions
//   one pick at the middle of the same scene                      goal: no longer than one frame
// Usage: scene_bench [work-dir] [benchmark flags]

#include "BenchMain.h"
#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/OffscreenView.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"
#include "sample-data/SampleAtlas.h"
#include "scene/BrainSceneRenderer.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

using namespace volumira;
namespace fs = std::filesystem;

namespace {

struct World {
    std::unique_ptr<ReferenceAtlas> atlas;
    MemorySettingsStore store;
    std::unique_ptr<UserPreferences> preferences;
    std::unique_ptr<OffscreenView> view;
    std::unique_ptr<BrainExpressionModel> model;
    std::unique_ptr<TabControlRenderer> tabs;
    std::unique_ptr<BrainSceneRenderer> scene;
};
World* gWorld = nullptr;

void prepare(const std::string& dir) {
    const std::string data = dir + "/Data/", shared = dir + "/Atlas/";
    if (!fs::exists(data + "ontology.csv")) {
        std::printf("Generating the sample atlas in %s ...\n", data.c_str());
        sample::writeSampleAtlas(data, sample::SampleGrid::full());
    }
    fs::create_directories(shared);
    gWorld = new World;
    World& w = *gWorld;
    w.atlas = std::make_unique<ReferenceAtlas>(data, shared);
    if (!w.atlas->isUnpacked()) w.atlas->unpack(nullptr, nullptr, nullptr);
    w.atlas->loadFullScale(nullptr, nullptr, nullptr);
    w.preferences = std::make_unique<UserPreferences>(w.store, PreferencesEnvironment::ofProcess());
    w.view = std::make_unique<OffscreenView>(1280, 800, createQtTextBox);
    w.view->makeCurrent();
    w.model = std::make_unique<BrainExpressionModel>(*w.preferences);
    for (int axis = 0; axis < 3; ++axis)
        w.model->setDisplayFlag(axis, true, false);
    w.tabs = std::make_unique<TabControlRenderer>(*w.view, nullptr);
    w.scene = std::make_unique<BrainSceneRenderer>(*w.view, *w.model, *w.tabs, *w.atlas, *w.preferences);
    w.view->events().installPage(w.scene.get());
}

void frame(benchmark::State& state, bool allLeaves) {
    World& w = *gWorld;
    if (allLeaves)
        w.model->showAllLeafStructures(w.atlas->ontology());
    else
        w.model->showSearchableStructures(w.atlas->ontology());
    w.view->redrawNow(); // meshes load on first use
    for (auto _ : state) {
        w.view->redrawNow();
        glFinish();
    }
}

void BM_FrameAllLeaves(benchmark::State& state) { frame(state, true); }
void BM_FrameSearchable(benchmark::State& state) { frame(state, false); }

void BM_PickAllLeaves(benchmark::State& state) {
    World& w = *gWorld;
    w.model->showAllLeafStructures(w.atlas->ontology());
    w.view->redrawNow();
    for (auto _ : state)
        benchmark::DoNotOptimize(w.scene->pickName(640, 400));
}

BENCHMARK(BM_FrameAllLeaves)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FrameSearchable)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PickAllLeaves)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const std::string dir =
        volumira::bench::initialise(argc, argv, (fs::temp_directory_path() / "volumira-scene-bench").string(), 3);
    prepare(dir);
    volumira::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nMedian times and ratios:\n");
    std::printf("%-24s %8.1f ms  (sample scene, every leaf structure, 1280 x 800)\n", "frame",
                reporter.median("BM_FrameAllLeaves"));
    reporter.printRatio("BM_PickAllLeaves", "BM_FrameAllLeaves", 1.0);
    gWorld->view->makeCurrent();
    gWorld->view->events().installPage(nullptr);
    gWorld->scene.reset();
    gWorld->tabs.reset();
    benchmark::Shutdown();
    return 0;
}

// The real main window on the generated sample atlas, under an X server (run it under Xvfb, screen at least
// 1600 x 1200, as run.sh does):
//   start-up: a fresh atlas, the document and the frame, shown, until the data view's first frame is on
//             screen                                             goal: <= 1.5 x reading the same files
//   frame:    a repaint of the data view at 1280 x 800 as the user gets it (update, then the swap)
//                                                                goal: <= 1.1 x the headless render of the scene
// Plain wall-clock medians over interleaved repetitions: the window's frames come from the event loop, which
// a benchmark library's inner loop cannot drive.
// Usage: window_bench [work-dir] [--repetitions=N] [--frames=N]

#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraView.h"
#include "app/Prompt.h"
#include "atlas/Mesh.h"
#include "atlas/Ontology.h"
#include "atlas/ReferenceAtlas.h"
#include "atlas/Structure.h"
#include "document/CVolumiraDoc.h"
#include "search/SearchConfig.h"
#include "expression/BrainExpressionModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/OffscreenView.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"
#include "sample-data/SampleAtlas.h"
#include "scene/BrainSceneRenderer.h"

#include <EGL/egl.h>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace volumira;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return -1.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void printSeries(const char* name, const std::vector<double>& values) {
    std::printf("%-24s %8.1f ms median  (", name, median(values));
    for (std::size_t i = 0; i < values.size(); ++i)
        std::printf("%s%.1f", i ? " " : "", values[i]);
    std::printf(")\n");
}

// Same layout as BenchMain's printRatio.
void printRatio(const char* ours, double oursMs, const char* floor, double floorMs, double goal) {
    const double r = oursMs / floorMs;
    std::printf("%-24s %6.3f x %-26s goal <= %.2f  %s\n", ours, r, floor, goal, r <= goal ? "met" : "MISSED");
}

// Answers every question with Yes and keeps quiet, so no dialog ever waits for a person.
class YesPrompt : public Prompt {
  public:
    bool askWarning(const std::string&) override { return true; }
    bool askQuestion(const std::string&) override { return true; }
    void inform(const std::string&) override {}
    void error(const std::string& text) override { std::fprintf(stderr, "window_bench: %s\n", text.c_str()); }
};

// Runs the event loop until done() holds; a window that never gets there is an error, not a hang.
void waitFor(const std::function<bool()>& done, const char* what, int timeoutMs = 120000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) throw std::runtime_error(std::string("Timed out waiting for ") + what);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
}

// Qt leaves its own (GLX) context current after composing a frame, and the headless view's (EGL) one stays
// current after drawing; each side lets go before the other draws.
void releaseQtContext() {
    if (QOpenGLContext* context = QOpenGLContext::currentContext()) context->doneCurrent();
}
void releaseEglContext() {
    const EGLDisplay display = eglGetCurrentDisplay();
    if (display != EGL_NO_DISPLAY) eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

struct Options {
    std::string directory;
    int repetitions = 5;
    int frames = 20;
};

int positiveArgument(const std::string& argument, const std::string& prefix) {
    const std::string value = argument.substr(prefix.size());
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || n < 1 || n > 1000)
        throw std::invalid_argument("Expected a whole number from 1 to 1000 in " + argument);
    return static_cast<int>(n);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    options.directory = (fs::temp_directory_path() / "volumira-window-bench").string();
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--repetitions=", 0) == 0)
            options.repetitions = positiveArgument(argument, "--repetitions=");
        else if (argument.rfind("--frames=", 0) == 0)
            options.frames = positiveArgument(argument, "--frames=");
        else if (!argument.empty() && argument[0] != '-' && i == 1)
            options.directory = argument;
        else
            throw std::invalid_argument("Unknown argument " + argument +
                                        " (usage: window_bench [work-dir] [--repetitions=N] [--frames=N])");
    }
    return options;
}

class Bench {
  public:
    Bench(std::string data, std::string shared) : data_(std::move(data)), shared_(std::move(shared)) {
        // The structures the scene draws at start-up: those the document shows, depth-first from the root
        // as the mesh set walks them.
        ReferenceAtlas atlas(data_, shared_);
        MemorySettingsStore store;
        UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        BrainExpressionModel model(preferences);
        model.showSearchableStructures(atlas.ontology());
        std::function<void(const Structure&)> walk = [&](const Structure& s) {
            if (s.selfSet.intersects(model.shownStructures()))
                meshPaths_.push_back(atlas.dataDir() + "Mesh25/" + s.acronym + ".msh");
            for (const Structure* child : s.children) walk(*child);
        };
        walk(atlas.ontology().root());
        if (meshPaths_.empty()) throw std::runtime_error("The sample scene shows no structure.");
    }

    std::size_t meshCount() const { return meshPaths_.size(); }

    // What start-up cannot avoid: the atlas's own files and every mesh of the first frame.
    double readFiles() {
        const Clock::time_point start = Clock::now();
        ReferenceAtlas atlas(data_, shared_);
        std::size_t triangles = 0;
        for (const std::string& path : meshPaths_) {
            Mesh mesh;
            mesh.readMesh(path);
            triangles += mesh.triangleCount();
        }
        const double ms = millisecondsSince(start);
        triangles_ = triangles;
        return ms;
    }

    // Where start-up's time goes, in milliseconds from the start.
    struct StartUpPhases {
        double atlas, frame, shown, firstFrame;
    };

    // As main.cpp starts, from the atlas to the first frame of the data view on screen.
    StartUpPhases startUp() {
        MemorySettingsStore store;
        UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        const Clock::time_point start = Clock::now();
        StartUpPhases phases{};
        {
            ReferenceAtlas atlas(data_, shared_);
            phases.atlas = millisecondsSince(start);
            CVolumiraDoc document(preferences, store, []() -> const SearchConfig& { return SearchConfig::instance(); });
            document.detailModel().showSearchableStructures(atlas.ontology());
            CMainFrame frame(document, atlas, preferences, prompt_);
            phases.frame = millisecondsSince(start);
            bool painted = false;
            QObject::connect(&frame.view().dataView(), &QOpenGLWidget::frameSwapped, [&painted] { painted = true; });
            frame.show();
            phases.shown = millisecondsSince(start);
            waitFor([&] { return painted; }, "the first frame");
            phases.firstFrame = millisecondsSince(start);
            releaseQtContext();
        }
        // The frame's deferred deletions go before the next round starts.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        return phases;
    }

    std::size_t triangles() const { return triangles_; }

    // The medians of the window's and the headless view's frames.
    std::pair<double, double> frames(int count, int rounds);

  private:
    std::string data_, shared_;
    std::vector<std::string> meshPaths_;
    std::size_t triangles_ = 0;
    YesPrompt prompt_;
};

// The window's data view and a headless view of the same scene, both 1280 x 800, drawn in turns.
std::pair<double, double> Bench::frames(int count, int rounds) {
    const QSize size(1280, 800);
    ReferenceAtlas atlas(data_, shared_);
    MemorySettingsStore store;
    UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
    CVolumiraDoc document(preferences, store, []() -> const SearchConfig& { return SearchConfig::instance(); });
    document.detailModel().showSearchableStructures(atlas.ontology());
    auto frame = std::make_unique<CMainFrame>(document, atlas, preferences, prompt_);
    CGLView& view = frame->view().dataView();
    int swaps = 0;
    QObject::connect(&view, &QOpenGLWidget::frameSwapped, [&swaps] { ++swaps; });
    frame->show();
    waitFor([&] { return swaps > 0; }, "the first frame");
    frame->action(CommandId::ExpandedView).trigger();
    QCoreApplication::processEvents();
    const QSize outside = frame->size() - view.size();
    frame->resize(outside + size);
    waitFor([&] { return view.size() == size; }, "the data view to be 1280 x 800", 10000);
    if (frame->frameGeometry().width() > frame->screen()->geometry().width() ||
        frame->frameGeometry().height() > frame->screen()->geometry().height())
        throw std::runtime_error("The screen is too small for a 1280 x 800 data view; run with a larger one.");
    // From the composition of the view's picture into the window to the swap: the window's own share.
    Clock::time_point composeStart;
    std::vector<double> composing;
    QObject::connect(&view, &QOpenGLWidget::aboutToCompose, [&composeStart] { composeStart = Clock::now(); });
    auto windowFrame = [&] {
        const int before = swaps;
        const Clock::time_point start = Clock::now();
        view.requestRedraw();
        waitFor([&] { return swaps > before; }, "a frame", 30000);
        const double ms = millisecondsSince(start);
        composing.push_back(std::chrono::duration<double, std::milli>(Clock::now() - composeStart).count());
        return ms;
    };
    windowFrame(); // the first frame at the new size
    std::printf("data view %d x %d in a window of %d x %d\n", view.width(), view.height(), frame->width(),
                frame->height());
    releaseQtContext();

    MemorySettingsStore headlessStore;
    UserPreferences headlessPreferences(headlessStore, PreferencesEnvironment::ofProcess());
    BrainExpressionModel model(headlessPreferences);
    model.showSearchableStructures(atlas.ontology());
    auto offscreen = std::make_unique<OffscreenView>(size.width(), size.height(), createQtTextBox);
    offscreen->makeCurrent();
    auto tabs = std::make_unique<TabControlRenderer>(*offscreen, nullptr);
    auto scene = std::make_unique<BrainSceneRenderer>(*offscreen, model, *tabs, atlas, headlessPreferences);
    tabs->addTab("Detail View", false, nullptr); // as the window's view has
    tabs->selectTab(0);
    offscreen->events().installPage(scene.get());
    // The first frame reads and compiles the meshes: start-up's drawing share, for comparison.
    const Clock::time_point coldStart = Clock::now();
    offscreen->redrawNow();
    glFinish();
    const double coldFrame = millisecondsSince(coldStart);
    auto headlessFrame = [&] {
        const Clock::time_point start = Clock::now();
        offscreen->redrawNow();
        glFinish();
        return millisecondsSince(start);
    };
    releaseEglContext();

    std::vector<double> window, headless;
    const int perRound = std::max(1, count / rounds);
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < perRound; ++i) window.push_back(windowFrame());
        releaseQtContext();
        offscreen->makeCurrent();
        for (int i = 0; i < perRound; ++i) headless.push_back(headlessFrame());
        releaseEglContext();
    }
    if (!offscreen->lastPaintError().empty())
        throw std::runtime_error("The headless view could not draw: " + offscreen->lastPaintError());

    std::printf("\nSample scene (searchable structures), 1280 x 800, %zu frames each:\n", window.size());
    printSeries("window frame", window);
    printSeries("headless frame", headless);
    composing.erase(composing.begin()); // the first frame at the new size is not among the timed ones
    printSeries(" compose and swap", composing);
    printRatio("window frame", median(window), "headless frame", median(headless), 1.1);
    std::printf("%-24s %8.1f ms  (headless, meshes read and compiled; for comparison with start-up)\n",
                "headless first frame", coldFrame);

    offscreen->makeCurrent();
    offscreen->events().installPage(nullptr);
    scene.reset();
    tabs.reset();
    releaseEglContext();
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return {median(window), median(headless)};
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parseOptions(argc, argv);
        const std::string data = options.directory + "/Data/", shared = options.directory + "/Atlas/";
        if (!fs::exists(data + "ontology.csv")) {
            std::printf("Generating the sample atlas in %s ...\n", data.c_str());
            sample::writeSampleAtlas(data, sample::SampleGrid::full());
        }
        fs::create_directories(shared);
        // Anything that asks for the process-wide atlas finds this one, and the user's settings stay apart.
        ::setenv("VOLUMIRA_DATA_DIR", data.c_str(), 1);
        ::setenv("VOLUMIRA_ATLAS_DIR", shared.c_str(), 1);
        ::setenv("VOLUMIRA_USER_DIR", (options.directory + "/User/").c_str(), 1);
        {
            ReferenceAtlas atlas(data, shared);
            if (!atlas.isUnpacked() && !atlas.unpack(nullptr, nullptr, nullptr))
                throw std::runtime_error("Could not unpack the sample atlas.");
        }

        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) throw std::runtime_error("No DISPLAY: run it under Xvfb (see bench/run.sh).");
        MemorySettingsStore formatStore;
        UserPreferences formatPreferences(formatStore, PreferencesEnvironment::ofProcess());
        CGLView::configureSurfaceFormat(formatPreferences);
        int qtArgc = 1;
        QApplication application(qtArgc, argv);
        if (QGuiApplication::platformName() != "xcb")
            throw std::runtime_error("Needs an X server (QT_QPA_PLATFORM is " +
                                     QGuiApplication::platformName().toStdString() + "); run it under Xvfb.");

        Bench bench(data, shared);
        std::printf("Start-up, %d rounds (reads and start-up in turns):\n", options.repetitions);
        std::vector<double> reads, startUps, atlasPhase, framePhase, showPhase, paintPhase;
        for (int i = 0; i < options.repetitions; ++i) {
            reads.push_back(bench.readFiles());
            const auto phases = bench.startUp();
            startUps.push_back(phases.firstFrame);
            atlasPhase.push_back(phases.atlas);
            framePhase.push_back(phases.frame - phases.atlas);
            showPhase.push_back(phases.shown - phases.frame);
            paintPhase.push_back(phases.firstFrame - phases.shown);
        }
        std::printf("%zu meshes, %zu triangles\n", bench.meshCount(), bench.triangles());
        printSeries(" atlas", atlasPhase);
        printSeries(" document and frame", framePhase);
        printSeries(" show()", showPhase);
        printSeries(" to the first frame", paintPhase);
        printSeries("start-up", startUps);
        printSeries("read files", reads);
        printRatio("start-up", median(startUps), "read files", median(reads), 1.5);

        const auto [windowFrame, headlessFrame] = bench.frames(options.frames, 4);

        std::printf("\nMedian times and ratios:\n");
        std::printf("%-24s %8.1f ms  read files %.1f ms\n", "start-up", median(startUps), median(reads));
        std::printf("%-24s %8.1f ms  headless frame %.1f ms\n", "window frame", windowFrame, headlessFrame);
        printRatio("start-up", median(startUps), "read files", median(reads), 1.5);
        printRatio("window frame", windowFrame, "headless frame", headlessFrame, 1.1);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "window_bench: %s\n", e.what());
        return 1;
    }
}

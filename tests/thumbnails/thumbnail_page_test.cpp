// The thumbnail page in an offscreen context over the sample atlas, loading from the project's own data
// server on loopback: header buttons and paging, the download queue, thumbnail loading and caching, the
// point cloud's pixels, the follow-up search buttons and the animation.

#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "net/HeadlessUiDispatcher.h"
#include "net/ServerUrls.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/InputCodes.h"
#include "render/OffscreenView.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"
#include "sample-data/GeneCatalogue.h"
#include "sample-data/SampleAtlas.h"
#include "search/GeneQuery.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"
#include "search/SearchController.h"
#include "storage/MemoryGeneExpressionCache.h"
#include "support/TempDir.h"
#include "thumbnails/BrainThumbnailRenderer.h"
#include "thumbnails/ThumbnailTestSupport.h"
#include "volumira-server/DataServer.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace volumira {
namespace {

// A guard against hangs only: every wait ends as soon as its condition holds.
constexpr std::chrono::seconds kPatience{60};
constexpr int kWidth = 760, kHeight = 560;

void ensureQtApplication() {
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "thumbnails_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// The full sample atlas, its reference atlas and the data server over it, once per binary.
class Sample {
  public:
    static Sample& get() {
        static Sample sample;
        return sample;
    }
    ReferenceAtlas& atlas() { return *atlas_; }
    int port() const { return port_; }
    const std::vector<sample::CatalogueGene>& genes() const { return genes_; }
    const std::string& dataDir() const { return data_; }
    // Grid file requests the server has answered so far.
    int gridRequests() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return gridRequests_;
    }
    // The same once no request has been counted for 100 ms, so that late counts of earlier answers are in.
    int settledGridRequests() {
        int last = gridRequests();
        for (auto quietSince = std::chrono::steady_clock::now();
             std::chrono::steady_clock::now() - quietSince < std::chrono::milliseconds(100);) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (const int now = gridRequests(); now != last) {
                last = now;
                quietSince = std::chrono::steady_clock::now();
            }
        }
        return last;
    }
    // The same once it has reached at least `count`, or after 5 s: the server logs a request only after
    // sending its answer, so the client may have used the answer before it is counted.
    int gridRequestsOnceAtLeast(int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (gridRequests() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return gridRequests();
    }

    ~Sample() {
        server_->stop();
        serving_.join();
    }

  private:
    Sample() {
        data_ = dir_.path() + "/Data/";
        const std::string shared = dir_.path() + "/Atlas/";
        sample::writeSampleAtlas(data_, sample::SampleGrid::full());
        std::filesystem::create_directories(shared);
        atlas_ = std::make_unique<ReferenceAtlas>(data_, shared);
        genes_ = sample::buildGeneCatalogue(sample::kFullCatalogueGenes);
        server_ = std::make_unique<server::DataServer>(data_);
        server_->setLogger([this](const std::string& line) {
            if (line.find("/GridFile") == std::string::npos) return;
            const std::lock_guard<std::mutex> lock(mutex_);
            ++gridRequests_;
        });
        port_ = server_->bind("127.0.0.1", 0);
        serving_ = std::thread([this] { server_->serve(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!server_->isRunning() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    test::TempDir dir_;
    std::string data_;
    std::unique_ptr<ReferenceAtlas> atlas_;
    std::vector<sample::CatalogueGene> genes_;
    std::unique_ptr<server::DataServer> server_;
    std::thread serving_;
    int port_ = 0;
    std::mutex mutex_;
    int gridRequests_ = 0;
};

class EventRecorder : public PagedGeneListListener {
  public:
    void listChanged(int event, PagedGeneList&, int value) override { events.push_back({event, value}); }
    std::vector<std::pair<int, int>> events;
};

class ThumbnailPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureQtApplication();
        ASSERT_NE(Sample::get().port(), 0);
        setUiDispatcher(&dispatcher);
        store.writeText(kSettingsSection, "HostName", "http://127.0.0.1:" + std::to_string(Sample::get().port()));
        preferences = std::make_unique<UserPreferences>(store, PreferencesEnvironment::ofProcess());
        view = std::make_unique<OffscreenView>(kWidth, kHeight, createQtTextBox);
        ASSERT_TRUE(view->makeCurrent());
        model = std::make_unique<BrainExpressionModel>(*preferences);
        model->showSearchableStructures(atlas().ontology());
        model->setExpressionStructures(StructureSet::full(), false);
        tabs = std::make_unique<TabControlRenderer>(*view, nullptr);
        config = std::make_unique<SearchConfig>(atlas().ontology(), Sample::get().dataDir());
        config->setCoronal(true);
        config->setSagittal(false);
        page = std::make_unique<BrainThumbnailRenderer>(*view, list, *model, atlas(), *tabs, controller,
                                                        [this]() -> const SearchConfig& { return *config; },
                                                        *preferences, cache,
                                                        [this](const std::string& m) { errors.push_back(m); });
        view->events().installPage(page.get());
        list.addListener(&recorder);
    }
    void TearDown() override {
        list.removeListener(&recorder);
        view->makeCurrent();
        view->events().installPage(nullptr);
        page.reset();
        tabs.reset();
    }

    static ReferenceAtlas& atlas() { return Sample::get().atlas(); }
    static const sample::CatalogueGene& gene(int index) { return Sample::get().genes().at(static_cast<std::size_t>(index)); }
    static const sample::CatalogueGene& gene(const std::string& symbol) {
        for (const auto& g : Sample::get().genes())
            if (g.symbol == symbol) return g;
        throw std::invalid_argument(symbol);
    }
    // A search record of a catalogue gene's first (coronal) series, as a text search delivers it.
    static std::unique_ptr<GeneExpression> record(const sample::CatalogueGene& g) {
        GeneExpression::SearchResult r;
        r.name = g.name;
        r.symbol = g.symbol;
        r.geneId = g.geneId;
        r.imageSeriesId = g.series.front().imageSeriesId;
        r.plane = g.series.front().plane;
        r.probeOrientation = g.series.front().probeOrientation;
        return std::make_unique<GeneExpression>(r);
    }
    void fillBare(int count) { test::fillBare(list, count); }
    ThumbnailPage& thumbs() { return page->thumbnailPage(); }
    bool pumpUntil(const std::function<bool()>& done) { return dispatcher.pumpUntil(done, kPatience); }
    bool slotsSettled(int count) {
        for (int i = 0; i < count; ++i)
            if (thumbs().slot(i).isLoading()) return false;
        return true;
    }

    // A click of the left button at a window point (y downwards).
    void click(int x, int y, int modifiers = 0) {
        page->mouseDown(kButtonLeft, x, y, modifiers, 0);
        page->mouseUp(kButtonLeft, x, y, modifiers, 0);
    }
    void clickHeader(int index, int modifiers = 0) { click(page->headerButtonWindowX(index), page->headerWindowY(), modifiers); }
    // A click on one of a slot's buttons, given in overlay coordinates.
    void clickOverlay(int x, int y) { click(x, kHeight - 1 - y); }

    // The framebuffer pixel at overlay point (x, y), y upwards.
    std::array<int, 3> pixel(int x, int y) {
        view->redrawNow();
        const std::vector<std::uint8_t> rgba = view->context().readPixels();
        const std::size_t at = (static_cast<std::size_t>(y) * kWidth + x) * 4;
        return {rgba[at], rgba[at + 1], rgba[at + 2]};
    }
    std::vector<std::uint8_t> frame() {
        view->redrawNow();
        return view->context().readPixels();
    }
    // Non-black pixels in a rectangle of overlay coordinates.
    static int litPixels(const std::vector<std::uint8_t>& rgba, int x0, int y0, int x1, int y1) {
        int lit = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, kHeight); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, kWidth); ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * kWidth + x) * 4;
                lit += rgba[at] + rgba[at + 1] + rgba[at + 2] > 30;
            }
        return lit;
    }

    HeadlessUiDispatcher dispatcher;
    MemorySettingsStore store;
    std::unique_ptr<UserPreferences> preferences;
    std::unique_ptr<OffscreenView> view;
    std::unique_ptr<BrainExpressionModel> model;
    std::unique_ptr<TabControlRenderer> tabs;
    std::unique_ptr<SearchConfig> config;
    PagedGeneList list{"0310", 10};
    test::RecordingController controller;
    MemoryGeneExpressionCache cache;
    std::vector<std::string> errors;
    EventRecorder recorder;
    std::unique_ptr<BrainThumbnailRenderer> page;
};

TEST_F(ThumbnailPageTest, HeaderButtonsFollowThePageAndShiftStepsFive) {
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(page->headerButtonEnabled(i)) << "no results: " << i;
    fillBare(100); // ten pages
    struct State {
        int page;
        std::array<bool, 6> enabled;
    };
    const State states[] = {{0, {false, false, true, true, false, true}},
                            {4, {true, true, true, true, false, true}},
                            {9, {true, true, false, false, false, true}}};
    for (const State& s : states) {
        list.showPage(s.page);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(page->headerButtonEnabled(i), s.enabled[static_cast<std::size_t>(i)]) << s.page << " " << i;
    }

    struct Step {
        int from, button, modifiers, to;
    };
    const Step steps[] = {
        {0, BrainThumbnailRenderer::kNext, 0, 1},
        {0, BrainThumbnailRenderer::kNext, kModifierShift, 5},
        {7, BrainThumbnailRenderer::kNext, kModifierShift, 9},
        {9, BrainThumbnailRenderer::kPrevious, kModifierShift, 4},
        {2, BrainThumbnailRenderer::kPrevious, kModifierShift, 0},
        {6, BrainThumbnailRenderer::kFirst, 0, 0},
        {2, BrainThumbnailRenderer::kLast, 0, 9},
        // Disabled on the first and last pages: nothing moves.
        {0, BrainThumbnailRenderer::kPrevious, 0, 0},
        {9, BrainThumbnailRenderer::kNext, 0, 9},
    };
    for (const Step& s : steps) {
        list.showPage(s.from);
        clickHeader(s.button, s.modifiers);
        EXPECT_EQ(list.currentPage(), s.to) << s.from << " button " << s.button;
    }
    // The slots show the page's entries.
    list.showPage(3);
    EXPECT_EQ(thumbs().slot(0).entry().symbol, "G30");
    EXPECT_EQ(thumbs().slot(9).entry().symbol, "G39");
    EXPECT_NE(thumbs().titleText().find("100 experiments, displaying 31-40"), std::string::npos) << thumbs().titleText();
}

TEST_F(ThumbnailPageTest, KeysPageAndHomeOnTheFirstPageChangesNothing) {
    fillBare(100);
    recorder.events.clear();
    EXPECT_TRUE(page->keySpecial(kKeyHome, 0, 0));
    EXPECT_EQ(list.currentPage(), 0);
    EXPECT_TRUE(recorder.events.empty()) << "Home on the first page asked the list for a page";
    struct Key {
        int code, to;
    };
    const Key keys[] = {{kKeyRight, 1}, {kKeyPageDown, 6}, {kKeyPageDown, 9}, {kKeyLeft, 8},
                        {kKeyPageUp, 3}, {kKeyEnd, 9},     {kKeyHome, 0},     {kKeyLeft, 0}};
    for (const Key& k : keys) {
        EXPECT_TRUE(page->keySpecial(k.code, 0, 0));
        EXPECT_EQ(list.currentPage(), k.to) << "key " << k.code;
    }
    EXPECT_FALSE(page->keySpecial(kKeyUp, 0, 0));
    EXPECT_FALSE(page->keyChar(U'x', 0, 0));
}

TEST_F(ThumbnailPageTest, EntriesWithoutAThumbnailShowThatThreeDIsNotAvailable) {
    GeneExpression::GeneListLine byExperiment;
    byExperiment.symbol = "Exp";
    byExperiment.experimentId = 4242;
    GeneExpression::SearchResult missing;
    missing.symbol = "Missing";
    missing.imageSeriesId = 987654; // the server has no such series
    list.addResult(std::make_unique<GeneExpression>("nothing", "Nothing"), 0);
    list.addResult(std::make_unique<GeneExpression>(byExperiment, false), 1);
    list.addResult(std::make_unique<GeneExpression>(missing), 2);
    list.setTotal(3);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(3); }));
    struct Expected {
        int slot;
        std::string error;
    };
    const Expected expected[] = {{0, "Not enough information to retrieve the gene thumbnail."},
                                 {1, "Server not available for gene lookup by experiment ID."},
                                 {2, ""}};
    for (const Expected& e : expected) {
        const ThumbnailSlot& slot = thumbs().slot(e.slot);
        EXPECT_EQ(slot.message(), "3D not available") << e.slot;
        EXPECT_TRUE(slot.lacksThumbnail());
        EXPECT_FALSE(slot.hasThumbnail());
        if (!e.error.empty()) {
            EXPECT_EQ(slot.error(), e.error);
        }
    }
    EXPECT_FALSE(thumbs().slot(2).error().empty()) << "the failed transfer's message is kept";
    // The dark red plate over the thumbnail area of a slot without 3D data.
    const auto& at = page->layout().slotCorners[0];
    const std::array<int, 3> red = pixel(at[0] + 20, at[1] + page->layout().rowHeight - 20);
    EXPECT_GT(red[0], 40);
    EXPECT_LT(red[1], 10);
    // Shown again, the failed one is known to lack its thumbnail and asks nobody.
    const int before = Sample::get().settledGridRequests();
    list.setTotal(0);
    list.addResult(std::make_unique<GeneExpression>(missing), 0);
    EXPECT_FALSE(thumbs().slot(0).isLoading());
    EXPECT_EQ(thumbs().slot(0).message(), "3D not available");
    EXPECT_EQ(Sample::get().settledGridRequests(), before);
}

TEST_F(ThumbnailPageTest, ThumbnailsLoadFromTheServerOnceAndThenFromTheCache) {
    // Counted before the results arrive: their transfers start at once.
    const int before = Sample::get().settledGridRequests();
    for (int i = 0; i < 12; ++i)
        list.addResult(record(gene(i)), i);
    list.setTotal(12);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(10); }));
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(thumbs().slot(i).hasThumbnail()) << i << ": " << thumbs().slot(i).error();
        EXPECT_TRUE(cache.contains(gene(i).series.front().imageSeriesId, kImageSeriesId)) << i;
    }
    // Thumbnails of the coarse level, with cells.
    EXPECT_FALSE(thumbs().slot(0).thumbnail()->cells().empty());
    EXPECT_EQ(Sample::get().gridRequestsOnceAtLeast(before + 10) - before, 10);

    list.showPage(1);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(2); }));
    EXPECT_TRUE(thumbs().slot(1).hasThumbnail());
    EXPECT_FALSE(thumbs().slot(2).inUse());
    const int afterSecondPage = Sample::get().gridRequestsOnceAtLeast(before + 12);
    EXPECT_EQ(afterSecondPage - before, 12);

    // Back to a page already seen: every thumbnail at once, no request.
    list.showPage(0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(thumbs().slot(i).hasThumbnail()) << i;
        EXPECT_FALSE(thumbs().slot(i).isLoading()) << i;
    }
    dispatcher.pumpPending();
    EXPECT_EQ(Sample::get().settledGridRequests(), afterSecondPage);
}

TEST_F(ThumbnailPageTest, ThePointCloudIsDrawnFromListsBuiltOnceInTheSlotArea) {
    list.addResult(record(gene("Gad1")), 0);
    list.addResult(std::make_unique<GeneExpression>("empty", "Empty"), 1);
    list.setTotal(2);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(2); }));
    ASSERT_TRUE(thumbs().slot(0).hasThumbnail()) << thumbs().slot(0).error();
    const ThumbnailLayout& l = page->layout();
    const auto& s0 = l.slotCorners[0];
    const auto& s2 = l.slotCorners[2];
    const int top0 = s0[1] + l.rowHeight, top2 = s2[1] + l.rowHeight;
    std::vector<std::uint8_t> rgba = frame();
    const int groups = static_cast<int>(page->slot(0).groups().size());
    ASSERT_GT(groups, 0);
    EXPECT_EQ(page->slot(0).listsBuilt(), groups);
    EXPECT_GT(litPixels(rgba, s0[0], top0 - l.thumbnailHeight, s0[0] + l.thumbnailWidth, top0), 50);
    // An unused slot's area stays black.
    EXPECT_EQ(litPixels(rgba, s2[0], top2 - l.thumbnailHeight, s2[0] + l.thumbnailWidth, top2), 0);
    // Without any expression structure, no group is drawn.
    model->setExpressionStructures(StructureSet(), true);
    rgba = frame();
    EXPECT_EQ(litPixels(rgba, s0[0], top0 - l.thumbnailHeight + 5, s0[0] + l.thumbnailWidth, top0 - 5), 0);
    EXPECT_EQ(page->slot(0).listsBuilt(), groups);

    // Every drawn point has the colour of its structure x 0.8.
    model->setExpressionStructures(StructureSet::full(), true);
    for (const ThumbnailGroup& g : page->slot(0).groups())
        for (const ThumbnailPoint& p : g.points) {
            EXPECT_NEAR(p.red, g.structure->red / 255.0f * 0.8f, 1e-5f);
            EXPECT_GT(p.alpha, -1e-6f);
            EXPECT_LE(p.alpha, 1.0f);
        }
    std::size_t points = 0, cells = 0;
    for (const ThumbnailGroup& g : page->slot(0).groups())
        points += g.points.size();
    for (const ExpressionCell& c : thumbs().slot(0).thumbnail()->cells())
        cells += c.expressors > 4 && c.structure && c.structure->order > 0 && c.structure->index != 0;
    EXPECT_EQ(points, cells);
}

TEST_F(ThumbnailPageTest, IconButtonsStartTheirSearchesThroughTheController) {
    GeneExpression::SearchResult noGene;
    noGene.symbol = "Orphan";
    noGene.imageSeriesId = 0;
    noGene.expressionFileUrl = "grids/none/Orphan.xpr";
    GeneExpression::SearchResult sagittal;
    sagittal.symbol = "Side";
    sagittal.imageSeriesId = 987001;
    sagittal.geneId = 77;
    sagittal.plane = 1;
    list.addResult(record(gene("Gad1")), 0);
    list.addResult(std::make_unique<GeneExpression>(noGene), 1);
    list.addResult(std::make_unique<GeneExpression>(sagittal), 2);
    list.setTotal(3);
    const int gad1Gene = gene("Gad1").geneId, gad1Series = gene("Gad1").series.front().imageSeriesId;

    struct Case {
        bool geneResults;
        int slot, icon;
        std::string call; // empty: the press is not taken
    };
    const Case cases[] = {
        {true, 0, 0, "series Gad1 " + std::to_string(gad1Gene)},
        {true, 1, 0, "text Orphan genesym=Orphan follow-up"},
        {false, 0, 0, ""},
        {true, 0, 1, "similar Gad1 " + std::to_string(gad1Series)},
        {true, 1, 1, ""}, // no image series
        {true, 2, 1, ""}, // sagittal while only coronal similar searches are offered
    };
    for (const Case& c : cases) {
        list.setGeneResults(c.geneResults);
        controller.calls.clear();
        ExpressionThumbnailRenderer& slot = page->slot(c.slot);
        clickOverlay(slot.iconX(c.icon) + 8, slot.iconY() + 8);
        if (c.call.empty())
            EXPECT_TRUE(controller.calls.empty()) << c.slot << " " << c.icon;
        else
            EXPECT_EQ(controller.calls, std::vector<std::string>{c.call});
    }
    config->setSagittal(true);
    controller.calls.clear();
    clickOverlay(page->slot(2).iconX(1) + 8, page->slot(2).iconY() + 8);
    EXPECT_EQ(controller.calls, std::vector<std::string>{"similar Side 987001"});
    // A press that leaves the button before the release does nothing.
    controller.calls.clear();
    ExpressionThumbnailRenderer& slot = page->slot(0);
    page->mouseDown(kButtonLeft, slot.iconX(0) + 8, kHeight - 1 - (slot.iconY() + 8), 0, 0);
    page->mouseMove(slot.iconX(0) + 100, kHeight - 1 - (slot.iconY() + 8), 0, 0);
    page->mouseUp(kButtonLeft, slot.iconX(0) + 100, kHeight - 1 - (slot.iconY() + 8), 0, 0);
    EXPECT_TRUE(controller.calls.empty());
}

TEST_F(ThumbnailPageTest, QueuedDownloadsReportInTheStatusAndOpenInTheModel) {
    const ServerUrls urls(*preferences);
    const char* symbols[] = {"Gad1", "Slc17a7", "Pvalb"};
    std::vector<std::string> known;
    for (const char* s : symbols) {
        try {
            gene(s);
            known.push_back(s);
        } catch (const std::invalid_argument&) {
        }
    }
    while (known.size() < 3)
        known.push_back(gene(static_cast<int>(known.size()) + 20).symbol);
    for (const std::string& s : known)
        thumbs().queueDownload(s, urls.gridByImageSeries(gene(s).series.front().imageSeriesId, 2));
    EXPECT_EQ(thumbs().statusText(), "Downloading " + known[0] + " - 2 queued");
    ASSERT_TRUE(pumpUntil([&] { return !thumbs().fetcher().isFetching() && thumbs().queuedDownloads() == 0; }));
    EXPECT_EQ(thumbs().statusText(), known[2] + " downloaded");
    ASSERT_EQ(model->geneCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model->geneAt(i).symbol(), known[static_cast<std::size_t>(i)]);
        EXPECT_FALSE(model->geneAt(i).cells().empty());
    }
    EXPECT_TRUE(errors.empty());

    // Cancel moves on to the next; Cancel All empties the queue.
    for (const std::string& s : known)
        thumbs().queueDownload(s, urls.gridByImageSeries(gene(s).series.front().imageSeriesId, 2));
    thumbs().cancelDownload();
    EXPECT_EQ(thumbs().statusText(), "Downloading " + known[1] + " - 1 queued");
    thumbs().cancelAllDownloads();
    EXPECT_EQ(thumbs().statusText(), "");
    EXPECT_FALSE(thumbs().fetcher().isFetching());
    EXPECT_EQ(thumbs().queuedDownloads(), 0u);
    dispatcher.pumpPending();
    EXPECT_EQ(model->geneCount(), 3);
}

TEST_F(ThumbnailPageTest, BadAndFailedDownloadsAreReportedAndTheQueueGoesOn) {
    const ServerUrls urls(*preferences);
    const std::string base = "http://127.0.0.1:" + std::to_string(Sample::get().port());
    thumbs().queueDownload("Versions", base + "/Volumira/versions.xml"); // not a grid file
    thumbs().queueDownload("Nowhere", base + "/GridFile?imageseriesid=987654&level=2");
    thumbs().queueDownload("Gad1", urls.gridByImageSeries(gene("Gad1").series.front().imageSeriesId, 2));
    ASSERT_TRUE(pumpUntil([&] { return !thumbs().fetcher().isFetching() && thumbs().queuedDownloads() == 0; }));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Error reading gene data. ", 0), 0u) << errors[0];
    EXPECT_GT(errors[0].size(), std::string("Error reading gene data. ").size());
    EXPECT_NE(errors[1].find("Nowhere"), std::string::npos) << errors[1];
    ASSERT_EQ(model->geneCount(), 1);
    EXPECT_EQ(model->geneAt(0).symbol(), "Gad1");
    EXPECT_EQ(thumbs().statusText(), "Gad1 downloaded");

    // A bad file alone is not reported as downloaded.
    errors.clear();
    thumbs().queueDownload("Versions", base + "/Volumira/versions.xml");
    ASSERT_TRUE(pumpUntil([&] { return !thumbs().fetcher().isFetching(); }));
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(thumbs().statusText(), "");
}

TEST_F(ThumbnailPageTest, TheDownloadButtonQueuesTheEntrysGeneIntoTheModel) {
    list.addResult(record(gene("Gad1")), 0);
    list.setTotal(1);
    ExpressionThumbnailRenderer& slot = page->slot(0);
    clickOverlay(slot.downloadX() + 5, slot.downloadY() + 5);
    EXPECT_EQ(thumbs().statusText(), "Downloading Gad1");
    ASSERT_TRUE(pumpUntil([&] { return model->geneCount() == 1; }));
    EXPECT_EQ(model->geneAt(0).imageSeriesId(), gene("Gad1").series.front().imageSeriesId);
    EXPECT_EQ(thumbs().statusText(), "Gad1 downloaded");
}

TEST_F(ThumbnailPageTest, AnimationRunsOnlyWhileShownAndSpaceStopsIt) {
    EXPECT_EQ(view->timerInterval(), 0);
    fillBare(3);
    EXPECT_EQ(view->timerInterval(), BrainThumbnailRenderer::kTimerMs);
    EXPECT_FLOAT_EQ(page->thumbnailAngle(), 0.5f);
    ASSERT_TRUE(view->fireTimer());
    EXPECT_FLOAT_EQ(page->thumbnailAngle(), 359.5f);
    ASSERT_TRUE(view->fireTimer());
    EXPECT_FLOAT_EQ(page->thumbnailAngle(), 358.5f);

    EXPECT_TRUE(page->keyChar(U' ', 0, 0));
    EXPECT_FALSE(page->isAnimating());
    EXPECT_EQ(view->timerInterval(), 0);
    list.addResult(std::make_unique<GeneExpression>("more", "More"), 3);
    EXPECT_FALSE(page->isAnimating()) << "the user stopped it";
    clickHeader(BrainThumbnailRenderer::kAnimate);
    EXPECT_TRUE(page->isAnimating());

    // A hidden page leaves the view's one timer alone, also when results arrive.
    page->setActive(false);
    EXPECT_EQ(view->timerInterval(), 0);
    list.addResult(std::make_unique<GeneExpression>("late", "Late"), 4);
    EXPECT_EQ(view->timerInterval(), 0);
    page->setActive(true);
    EXPECT_EQ(view->timerInterval(), BrainThumbnailRenderer::kTimerMs);
}

TEST_F(ThumbnailPageTest, FileSizesUpToFiveDigitsOfKilobytesFitTheirBoxOnOneLine) {
    const std::int32_t sizes[] = {0, 1024 * 807, 1024 * 1506, 1024 * 99999};
    for (int i = 0; i < 4; ++i) {
        auto entry = std::make_unique<GeneExpression>("gene " + std::to_string(i), "G" + std::to_string(i));
        entry->setFileSize(sizes[i]);
        list.addResult(std::move(entry), i);
    }
    list.setTotal(4);
    EXPECT_EQ(thumbs().slot(2).sizeText(), "1506 KB");
    for (int i = 0; i < 4; ++i) {
        const auto& box = static_cast<const QtGLTextBox&>(page->slot(i).sizeBox());
        EXPECT_LE(box.textHeight(), box.lineHeight()) << thumbs().slot(i).sizeText() << " wraps";
        // Whole, not shortened at the box's edge.
        const QString text = QString::fromStdString(thumbs().slot(i).sizeText());
        EXPECT_GE(box.width(), QFontMetrics(QGuiApplication::font()).horizontalAdvance(text))
            << text.toStdString();
    }
}

// A search that reuses the tab's list gives the page's title line its own title from the start: while it
// runs, once a local database has answered it before the call returns, and once it has ended.
TEST_F(ThumbnailPageTest, ASearchThatReusesTheListTitlesThePageAtOnce) {
    const std::string url = preferences->searchServiceUrl();
    const sample::CatalogueGene& gad1 = gene("Gad1");
    // A domain of the installed search configuration has its table in the similarity database.
    const std::unique_ptr<SearchConfig> installed =
        loadSearchConfig(atlas().ontology(), Sample::get().dataDir(), Sample::get().dataDir());
    ASSERT_GT(installed->similarDomainCount(), 0);
    const Structure* domain = installed->similarDomain(0);
    const std::string database = Sample::get().dataDir() + "GLM.db";
    ASSERT_TRUE(std::filesystem::exists(database));
    const struct {
        std::string title;
        std::function<void()> start;
    } searches[] = {
        {"Gad1", [&] { list.searchText(url, "Gad1", "Gad1", "0310", false); }},
        {"Gad1 (all)", [&] { list.searchImageSeries(url, gad1.geneId, "Gad1 (all)", "0310"); }},
        {"Similar to Gad1", [&] {
             list.setCorrelationDatabase(database);
             list.searchSimilar(url, gad1.series.front().imageSeriesId, domain->id, "Similar to Gad1", "0310", 3, 0);
             list.setCorrelationDatabase(std::nullopt);
         }},
        {"Gad1 on the server", [&] { list.searchText(url, "Gad1", "Gad1 on the server", "0310", false); }},
    };
    // The line is the title followed by the list's status.
    const auto titled = [&](const std::string& title) { return thumbs().titleText() == title + list.statusText(); };
    list.setTitle("Earlier search");
    fillBare(3);
    ASSERT_TRUE(titled("Earlier search")) << thumbs().titleText();
    for (const auto& search : searches) {
        search.start();
        EXPECT_TRUE(titled(search.title)) << search.title << ": " << thumbs().titleText();
        ASSERT_TRUE(pumpUntil([&] { return !list.query() || !list.query()->isRunning(); })) << search.title;
        EXPECT_TRUE(titled(search.title)) << search.title << ": " << thumbs().titleText();
        EXPECT_GT(list.size(), 0) << search.title;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(ThumbnailPageTest, AClearedSearchEmptiesTheSlotsAndDisablesTheButtons) {
    fillBare(25);
    EXPECT_TRUE(thumbs().slot(0).inUse());
    list.clear(false);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(thumbs().slot(i).inUse());
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(page->headerButtonEnabled(i));
    EXPECT_TRUE(view->lastPaintError().empty());
    frame();
    EXPECT_TRUE(view->lastPaintError().empty()) << view->lastPaintError();
}

} // namespace
} // namespace volumira

// The thumbnail page without a display: paging, the download queue, thumbnails through the cache, files
// that cannot be read, and the searches a slot's buttons start. Grid files come from a small server on
// loopback; cells are placed in a small atlas.

#include "expression/BrainExpressionModel.h"
#include "expression/XprTestFiles.h"
#include "net/FaultServer.h"
#include "net/HeadlessUiDispatcher.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "search/ListRecorder.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"
#include "search/SearchController.h"
#include "storage/MemoryGeneExpressionCache.h"
#include "thumbnails/ThumbnailPage.h"
#include "thumbnails/ThumbnailTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace volumira {
namespace {

// A guard against hangs only.
constexpr std::chrono::seconds kPatience{20};

// A current-generation file of one gene with one cell of 20 expressors.
std::string geneFile(const std::string& symbol) {
    test::Bytes payload;
    for (int i = 0; i < 16; ++i)
        payload.i32(i == 14 ? 0 : i == 15 ? 1 : 1000 + i);
    for (const std::string& s :
         {symbol + " name", symbol, std::string("a"), std::string("b"), std::string("c")})
        payload.str(s);
    payload.raw(test::currentRecord(test::gridIdOf(10, 20, 30), 1.5f, 0.5f, 128.0f, 0, 1, 2, 20));
    return test::Bytes{}.u32(test::kXprMagic).i32(20000).raw(test::compressedBlock(payload.data)).data;
}

// A coarse thumbnail grid with one voxel of 9 expressors.
std::string thumbnailFile() {
    const auto [nx, ny, nz] = atlas::kCoarseDims;
    std::string voxels(
        static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny) * static_cast<std::size_t>(nz), '\0');
    voxels[static_cast<std::size_t>(test::gridIdOf(10, 20, 30) - 1)] = 9;
    return test::gridFile(30001, 0, 4321, 3, voxels);
}

// The value of one parameter of a request target; empty when absent.
std::string parameter(const std::string& target, const std::string& name) {
    const std::size_t at = target.find(name + "=");
    if (at == std::string::npos) return {};
    const std::size_t start = at + name.size() + 1;
    return target.substr(start, target.find('&', start) - start);
}

class RecordingObserver : public ThumbnailPageObserver {
  public:
    void pageChanged() override { ++pageChanges; }
    void slotChanged(int slot, SlotChange change) override {
        if (change != SlotChange::kProgress)
            slotChanges.push_back(std::to_string(slot) +
                                  (change == SlotChange::kEntry ? " entry" : " thumbnail"));
    }
    int pageChanges = 0;
    std::vector<std::string> slotChanges;
};

// A memory cache that counts the stores and trims the page asks for.
class CountingCache : public GeneExpressionCache {
  public:
    void store(std::int32_t id, std::int32_t level, std::int32_t type, const void* data,
               std::size_t length) override {
        ++stores;
        memory.store(id, level, type, data, length);
    }
    bool retrieve(std::int32_t id, std::int32_t level, std::int32_t type, MemoryStream& out) override {
        return memory.retrieve(id, level, type, out);
    }
    void remove(std::int32_t id, std::int32_t level, std::int32_t type) override {
        memory.remove(id, level, type);
    }
    void clean() override {
        ++cleans;
        memory.clean();
    }
    MemoryGeneExpressionCache memory;
    int stores = 0, cleans = 0;
};

class ThumbnailPageModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setUiDispatcher(&dispatcher);
        atlas.label(10, 20, 30, 2);
        // Grid files by image series: a file served, else 404; a held series waits for its gate.
        server.route("/GridFile", [this](const test::HttpRequest& request, test::Connection& connection) {
            const std::string id = parameter(request.target, "imageseriesid");
            std::optional<std::string> file;
            bool wait = false;
            {
                const std::lock_guard<std::mutex> lock(filesMutex);
                wait = held.count(id) != 0;
                if (files.count(id)) file = files.at(id);
            }
            if (wait) connection.waitFor(id);
            if (!file) {
                connection.send(
                    test::response("404 Not Found", {"Content-Type: text/plain", "Content-Length: 0"}, ""));
                return;
            }
            connection.send(test::response(
                "200 OK",
                {"Content-Type: application/octet-stream", "Content-Length: " + std::to_string(file->size())},
                *file));
        });
        store.writeText(kSettingsSection, "HostName", server.url(""));
        preferences = std::make_unique<UserPreferences>(store, PreferencesEnvironment::ofProcess());
        model = std::make_unique<BrainExpressionModel>(*preferences);
        config = std::make_unique<SearchConfig>(atlas.ontology(), dir.path());
        config->setCoronal(true);
        config->setSagittal(false);
        page = std::make_unique<ThumbnailPage>(
            list, *model, atlas.view(), controller, [this]() -> const SearchConfig& { return *config; },
            *preferences, cache, [this](const std::string& m) { errors.push_back(m); });
        page->setObserver(&observer);
    }
    void TearDown() override {
        const std::lock_guard<std::mutex> lock(filesMutex);
        for (const std::string& id : held)
            server.openGate(id);
    }
    // The server answers the image series with the bytes from now on; held, only once its gate opens.
    void serve(const std::string& id, const std::string& bytes, bool hold = false) {
        const std::lock_guard<std::mutex> lock(filesMutex);
        files[id] = bytes;
        if (hold) held.insert(id);
    }

    bool pumpUntil(const std::function<bool()>& done) { return dispatcher.pumpUntil(done, kPatience); }
    bool downloadsDone() { return !page->fetcher().isFetching() && page->queuedDownloads() == 0; }
    bool slotsSettled() {
        for (int i = 0; i < kThumbnailSlots; ++i)
            if (page->slot(i).isLoading()) return false;
        return true;
    }
    void fillBare(int count) { test::fillBare(list, count); }
    static std::unique_ptr<GeneExpression> entry(const std::string& symbol, std::int32_t series,
                                                 std::int32_t gene = 0, std::int32_t plane = 0) {
        GeneExpression::SearchResult r;
        r.symbol = symbol;
        r.name = symbol + " name";
        r.imageSeriesId = series;
        r.geneId = gene;
        r.plane = plane;
        return std::make_unique<GeneExpression>(r);
    }
    // The image series and level of every grid request so far, in arrival order.
    std::vector<std::string> gridRequests() const {
        std::vector<std::string> out;
        for (const test::HttpRequest& r : server.requests())
            out.push_back(parameter(r.target, "imageseriesid") + "@" + parameter(r.target, "level"));
        return out;
    }
    std::vector<std::string> modelSymbols() const {
        std::vector<std::string> out;
        for (int i = 0; i < model->geneCount(); ++i)
            out.push_back(model->geneAt(i).symbol());
        return out;
    }

    // Declared first so that it outlives the dispatcher, whose end shuts the transfers down.
    test::FaultServer server;
    std::mutex filesMutex;
    std::map<std::string, std::string> files;
    std::set<std::string> held;
    HeadlessUiDispatcher dispatcher;
    test::TempDir dir;
    test::SmallAtlas atlas;
    MemorySettingsStore store;
    std::unique_ptr<UserPreferences> preferences;
    std::unique_ptr<BrainExpressionModel> model;
    std::unique_ptr<SearchConfig> config;
    PagedGeneList list{"0310", 10};
    test::RecordingController controller;
    CountingCache cache;
    std::vector<std::string> errors;
    RecordingObserver observer;
    std::unique_ptr<ThumbnailPage> page;
};

TEST_F(ThumbnailPageModelTest, PagingStaysWithinTheListAndFillsTheSlotsWithThePage) {
    EXPECT_FALSE(page->hasResults());
    page->stepPages(1);
    page->lastPage();
    EXPECT_EQ(list.currentPage(), 0);
    fillBare(95); // ten pages, the last one of five
    EXPECT_TRUE(page->hasResults());
    struct Step {
        int from;
        std::function<void()> move;
        int to;
        bool first, last;
    };
    const Step steps[] = {
        {0, [&] { page->stepPages(1); }, 1, false, false},
        {0, [&] { page->stepPages(ThumbnailPage::kLargeStep); }, 5, false, false},
        {7, [&] { page->stepPages(ThumbnailPage::kLargeStep); }, 9, false, true},
        {2, [&] { page->stepPages(-ThumbnailPage::kLargeStep); }, 0, true, false},
        {0, [&] { page->stepPages(-1); }, 0, true, false},
        {4, [&] { page->lastPage(); }, 9, false, true},
        {6, [&] { page->firstPage(); }, 0, true, false},
        {3, [&] { page->goToPage(42); }, 9, false, true},
    };
    for (const Step& s : steps) {
        list.showPage(s.from);
        s.move();
        EXPECT_EQ(list.currentPage(), s.to) << "from " << s.from;
        EXPECT_EQ(page->onFirstPage(), s.first) << s.to;
        EXPECT_EQ(page->onLastPage(), s.last) << s.to;
    }
    // The last page holds five: the rest of the slots are empty.
    EXPECT_EQ(page->slot(0).entry().symbol, "G90");
    EXPECT_EQ(page->slot(4).entry().symbol, "G94");
    EXPECT_FALSE(page->slot(5).inUse());
    EXPECT_NE(page->titleText().find("95 experiments, displaying 91-95"), std::string::npos)
        << page->titleText();
    // A move to the page shown asks the list for nothing.
    test::ListRecorder recorder(list);
    page->stepPages(1);
    page->lastPage();
    EXPECT_TRUE(recorder.events.empty());

    // A cleared list empties every slot, and the observer hears of each.
    observer.slotChanges.clear();
    list.clear(false);
    EXPECT_FALSE(page->hasResults());
    EXPECT_FALSE(page->anySlotInUse());
    EXPECT_EQ(observer.slotChanges.size(), static_cast<std::size_t>(kThumbnailSlots));
}

TEST_F(ThumbnailPageModelTest, DownloadsRunOneAtATimeInQueueOrderAndAddTheirGenesToTheModel) {
    for (const char* id : {"11", "12", "13"})
        serve(id, geneFile(std::string("S") + id), id == std::string("11"));
    for (const char* id : {"11", "12", "13"})
        page->queueDownload(std::string("S") + id,
                            server.url(std::string("/GridFile?imageseriesid=") + id + "&level=2"));
    EXPECT_EQ(page->statusText(), "Downloading S11 - 2 queued");
    EXPECT_EQ(page->queuedDownloads(), 2u);
    // Only the first is asked for while it runs.
    ASSERT_TRUE(server.waitForRequests(1, kPatience));
    dispatcher.pumpPending();
    EXPECT_EQ(gridRequests(), std::vector<std::string>{"11@2"});
    server.openGate("11");
    ASSERT_TRUE(pumpUntil([&] { return downloadsDone(); }));
    EXPECT_EQ(gridRequests(), (std::vector<std::string>{"11@2", "12@2", "13@2"}));
    EXPECT_EQ(modelSymbols(), (std::vector<std::string>{"S11", "S12", "S13"}));
    EXPECT_EQ(model->geneAt(0).cells().size(), 1u);
    EXPECT_EQ(page->statusText(), "S13 downloaded");
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_GT(observer.pageChanges, 0);

    // A slot's Download fetches the full file of its entry's image series.
    serve("21", geneFile("Slot"));
    list.addResult(entry("Slot", 21), 0);
    list.setTotal(1);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(); }));
    page->downloadEntry(0);
    EXPECT_EQ(page->statusText(), "Downloading Slot");
    ASSERT_TRUE(pumpUntil([&] { return downloadsDone(); }));
    EXPECT_EQ(gridRequests().back(), "21@2");
    EXPECT_EQ(modelSymbols().back(), "Slot");
    EXPECT_EQ(page->statusText(), "Slot downloaded");
    // An entry with nothing to fetch by is said so and queues nothing.
    list.addResult(std::make_unique<GeneExpression>("bare", "Bare"), 0);
    page->downloadEntry(0);
    EXPECT_EQ(errors, std::vector<std::string>{"Not enough information to retrieve the gene thumbnail."});
    EXPECT_FALSE(page->fetcher().isFetching());
}

TEST_F(ThumbnailPageModelTest, ThumbnailsComeFromTheCacheWithoutARequestAndFetchedOnesAreStored) {
    const std::string grid = thumbnailFile();
    cache.store(30, ThumbnailSlot::kThumbnailLevel, kImageSeriesId, grid.data(), grid.size());
    cache.stores = 0;
    for (int i = 31; i < 40; ++i)
        serve(std::to_string(i), grid);
    for (int i = 0; i < 10; ++i)
        list.addResult(entry("T" + std::to_string(30 + i), 30 + i), i);
    // The cached one is there at once, announced with its entry.
    EXPECT_TRUE(page->slot(0).hasThumbnail());
    EXPECT_FALSE(page->slot(0).isLoading());
    EXPECT_EQ(observer.slotChanges.front(), "0 entry");
    EXPECT_TRUE(page->slot(1).isLoading());
    list.setTotal(10);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(); }));
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(page->slot(i).hasThumbnail()) << i << ": " << page->slot(i).error();
        EXPECT_TRUE(cache.memory.contains(30 + i, kImageSeriesId)) << i;
    }
    EXPECT_EQ(page->slot(3).thumbnail()->cells().size(), 1u);
    std::vector<std::string> fetched = gridRequests();
    std::sort(fetched.begin(), fetched.end());
    std::vector<std::string> expected;
    for (int i = 31; i < 40; ++i)
        expected.push_back(std::to_string(i) + "@0");
    EXPECT_EQ(fetched, expected) << "the cached series is not asked for";
    EXPECT_NE(std::find(observer.slotChanges.begin(), observer.slotChanges.end(), "1 thumbnail"),
              observer.slotChanges.end());
    // Nine stores: no trim yet; the tenth trims.
    EXPECT_EQ(cache.stores, 9);
    EXPECT_EQ(cache.cleans, 0);
    serve("40", grid);
    list.addResult(entry("T40", 40), 10);
    list.showPage(1);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(); }));
    EXPECT_EQ(cache.stores, 10);
    EXPECT_EQ(cache.cleans, 1);

    // Shown again, the page asks nobody.
    const std::size_t before = server.requests().size();
    list.showPage(0);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(page->slot(i).hasThumbnail()) << i;
    dispatcher.pumpPending();
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(ThumbnailPageModelTest, FilesThatCannotBeReadAreReportedAndKeepNothing) {
    serve("50", "not a grid file");
    serve("51", thumbnailFile());
    const std::string damaged = "damaged";
    cache.store(51, ThumbnailSlot::kThumbnailLevel, kImageSeriesId, damaged.data(), damaged.size());
    list.addResult(entry("Bad", 50), 0);
    list.addResult(entry("Damaged", 51), 1);
    list.setTotal(2);
    ASSERT_TRUE(pumpUntil([&] { return slotsSettled(); }));
    // A thumbnail that does not read is not available and is not cached.
    EXPECT_TRUE(page->slot(0).lacksThumbnail());
    EXPECT_FALSE(page->slot(0).hasThumbnail());
    EXPECT_EQ(page->slot(0).message(), "3D not available");
    EXPECT_FALSE(page->slot(0).error().empty());
    EXPECT_FALSE(cache.memory.contains(50, kImageSeriesId));
    // A damaged cached copy is dropped and fetched again.
    EXPECT_TRUE(page->slot(1).hasThumbnail()) << page->slot(1).error();
    const std::vector<std::string> requests = gridRequests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "51@0"), requests.end());
    MemoryStream copy;
    ASSERT_TRUE(cache.retrieve(51, ThumbnailSlot::kThumbnailLevel, kImageSeriesId, copy));
    EXPECT_EQ(copy.size(), thumbnailFile().size());

    // A download that does not read is reported, adds nothing and the queue goes on.
    serve("60", "not a gene");
    serve("61", geneFile("Good"));
    page->queueDownload("Bad", server.url("/GridFile?imageseriesid=60&level=2"));
    page->queueDownload("Good", server.url("/GridFile?imageseriesid=61&level=2"));
    ASSERT_TRUE(pumpUntil([&] { return downloadsDone(); }));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Error reading gene data. ", 0), 0u) << errors[0];
    EXPECT_GT(errors[0].size(), std::string("Error reading gene data. ").size());
    EXPECT_EQ(modelSymbols(), std::vector<std::string>{"Good"});
    EXPECT_EQ(page->statusText(), "Good downloaded");
    // Alone, it is not reported as downloaded.
    page->queueDownload("Bad", server.url("/GridFile?imageseriesid=60&level=2"));
    ASSERT_TRUE(pumpUntil([&] { return downloadsDone(); }));
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(page->statusText(), "");
    EXPECT_EQ(model->geneCount(), 1);
}

TEST_F(ThumbnailPageModelTest, FollowUpSearchesOfASlotGoThroughTheController) {
    list.addResult(entry("WithGene", 70, 7), 0);
    list.addResult(entry("NoGene", 0), 1);
    list.addResult(entry("Sagittal", 72, 9, 1), 2);
    list.setTotal(3);
    struct Case {
        int slot;
        bool allowed;
        std::function<void()> run;
        std::string call;
    };
    list.setGeneResults(true);
    const Case cases[] = {
        {0, page->slot(0).allExperimentsAllowed(), [&] { page->listAllExperiments(0); }, "series WithGene 7"},
        {1, page->slot(1).allExperimentsAllowed(), [&] { page->listAllExperiments(1); },
         "text NoGene genesym=NoGene follow-up"},
        {0, page->slot(0).similarGenesAllowed(), [&] { page->findSimilarGenes(0); }, "similar WithGene 70"},
    };
    for (const Case& c : cases) {
        controller.calls.clear();
        EXPECT_TRUE(c.allowed) << c.call;
        c.run();
        EXPECT_EQ(controller.calls, std::vector<std::string>{c.call});
    }
    // Not offered: no image series, a plane the configuration leaves out, a list of image series.
    EXPECT_FALSE(page->slot(1).similarGenesAllowed());
    EXPECT_FALSE(page->slot(2).similarGenesAllowed());
    config->setSagittal(true);
    EXPECT_TRUE(page->slot(2).similarGenesAllowed());
    list.setGeneResults(false);
    EXPECT_FALSE(page->slot(0).allExperimentsAllowed());
}

} // namespace
} // namespace volumira

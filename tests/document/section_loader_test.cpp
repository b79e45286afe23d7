#include "atlas/AtlasTestData.h"
#include "atlas/ReferenceAtlas.h"
#include "document/SectionLoader.h"
#include "expression/TestModel.h"
#include "net/HeadlessUiDispatcher.h"

#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace volumira {
namespace {

using namespace std::chrono_literals;

// Keeps what the loader showed, from whichever thread it came.
class RecordingSink : public LoadProgressSink {
  public:
    void setStatusText(const std::string& text) override {
        std::lock_guard lock(mutex);
        statuses.push_back(text);
        statusThreads.push_back(std::this_thread::get_id());
    }
    void setProgress(int percent) override {
        std::lock_guard lock(mutex);
        progress.push_back(percent);
    }
    void hideProgress() override {
        std::lock_guard lock(mutex);
        ++hides;
    }
    void showError(const std::string& text) override {
        errors.push_back(text);
        errorThread = std::this_thread::get_id();
    }
    std::mutex mutex;
    std::vector<std::string> statuses;
    std::vector<std::thread::id> statusThreads;
    std::vector<int> progress;
    int hides = 0;
    std::vector<std::string> errors;
    std::thread::id errorThread;
};

class SectionLoaderTest : public ::testing::Test {
  protected:
    SectionLoaderTest() {
        std::filesystem::create_directories(shared);
        std::filesystem::create_directories(data);
        test::writeAtlasBasics(data, test::coarseVolume());
    }
    void writeFineVolumes() {
        test::writeVolume(test::fineVolume(), data + "Annotation25");
        test::writeVolume(test::fineVolume(), data + "Atlas25");
    }
    // Serves the loader's calls on this thread, as the window's event loop would.
    bool pumpUntilDone(SectionLoader& loader) {
        return dispatcher.pumpUntil([&] { return !loader.loading(); }, 60s);
    }

    test::TempDir dir;
    const std::string data = dir.path() + "/Data/", shared = dir.path() + "/Atlas/";
    test::TestModel model;
    RecordingSink sink;
    HeadlessUiDispatcher dispatcher;
};

TEST_F(SectionLoaderTest, TheFirstSectionLoadsTheVolumesOnceThenTurnsThePlaneOnOnTheUiThread) {
    writeFineVolumes();
    ReferenceAtlas atlas(data, shared);
    int loadedCalls = 0;
    std::thread::id loadedThread;
    SectionLoader loader(atlas, model, sink, dispatcher, [&] {
        ++loadedCalls;
        loadedThread = std::this_thread::get_id();
    });
    EXPECT_FALSE(loader.loaded());

    loader.toggleSection(0);
    EXPECT_TRUE(loader.loading());
    loader.toggleSection(2); // ignored while loading: the commands are disabled meanwhile
    ASSERT_TRUE(pumpUntilDone(loader));

    EXPECT_TRUE(loader.loaded());
    EXPECT_EQ(loadedCalls, 1);
    EXPECT_EQ(loadedThread, std::this_thread::get_id());
    EXPECT_TRUE(model.displayFlag(0));
    EXPECT_FALSE(model.displayFlag(2));
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{"Loading atlas...", "Ready"}));
    EXPECT_NE(sink.statusThreads.back(), std::this_thread::get_id()) << "the load runs on a worker";
    // The bar shows at 0 at once; the read reports more when it takes long enough to.
    ASSERT_FALSE(sink.progress.empty());
    EXPECT_EQ(sink.progress.front(), 0);
    EXPECT_TRUE(std::is_sorted(sink.progress.begin(), sink.progress.end()));
    EXPECT_LE(sink.progress.back(), 100);
    EXPECT_EQ(sink.hides, 1);
    EXPECT_TRUE(sink.errors.empty());

    // Loaded: the commands toggle at once, with no second load.
    loader.toggleSection(0);
    loader.toggleSection(2);
    EXPECT_FALSE(loader.loading());
    EXPECT_FALSE(model.displayFlag(0));
    EXPECT_TRUE(model.displayFlag(2));
    EXPECT_EQ(sink.statuses.size(), 2u);
    EXPECT_EQ(loadedCalls, 1);
}

TEST_F(SectionLoaderTest, AFailedLoadShowsItsMessageLeavesTheSectionsOffAndLoadsAgainNextTime) {
    ReferenceAtlas atlas(data, shared);
    SectionLoader loader(atlas, model, sink, dispatcher);
    loader.toggleSection(1);
    ASSERT_TRUE(pumpUntilDone(loader));
    ASSERT_EQ(sink.errors.size(), 1u);
    EXPECT_EQ(sink.errors[0], "Could not load full scale 3D annotation image. Please try reinstalling Volumira.");
    EXPECT_EQ(sink.errorThread, std::this_thread::get_id());
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{"Loading atlas...", "Ready"}));
    EXPECT_EQ(sink.hides, 1);
    EXPECT_FALSE(model.displayFlag(1));
    EXPECT_FALSE(loader.loaded());

    writeFineVolumes();
    loader.toggleSection(1);
    ASSERT_TRUE(pumpUntilDone(loader));
    EXPECT_TRUE(model.displayFlag(1));
    EXPECT_EQ(sink.errors.size(), 1u);
}

TEST_F(SectionLoaderTest, AnAtlasLoadedBeforehandNeedsNoWorker) {
    writeFineVolumes();
    ReferenceAtlas atlas(data, shared);
    atlas.loadFullScale(nullptr, nullptr, nullptr);
    SectionLoader loader(atlas, model, sink, dispatcher);
    loader.toggleSection(2);
    EXPECT_TRUE(model.displayFlag(2));
    EXPECT_TRUE(sink.statuses.empty());
}

TEST_F(SectionLoaderTest, DestroyingTheLoaderMidLoadCancelsItWithoutTouchingTheModel) {
    writeFineVolumes();
    ReferenceAtlas atlas(data, shared);
    {
        SectionLoader loader(atlas, model, sink, dispatcher);
        loader.toggleSection(0);
        dispatcher.close(); // the window is going away: its event loop runs nothing more
    }
    EXPECT_FALSE(model.displayFlag(0));
}

} // namespace
} // namespace volumira

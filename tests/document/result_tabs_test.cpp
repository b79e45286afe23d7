#include "atlas/Structure.h"
#include "document/ResultTabs.h"
#include "document/SearchCommands.h"
#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/BlankPage.h"
#include "render/FakeDisplay.h"
#include "render/GLRenderer.h"
#include "render/TabControlRenderer.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

using K = TabKind;

// A result list that records the searches started on it instead of sending them.
class RecordingList : public PagedGeneList {
  public:
    RecordingList() : PagedGeneList(BrainDocTab::kDomain, BrainDocTab::kPageSize) {}
    void searchText(const std::string& url, const std::string& text, std::string title, std::string domain,
                    bool anatomic) override {
        calls.push_back("text " + url + " " + text + " " + domain + (anatomic ? " anatomic" : ""));
        setTitle(std::move(title));
    }
    void searchImageSeries(const std::string& url, int geneId, std::string title, std::string domain) override {
        calls.push_back("series " + url + " " + std::to_string(geneId) + " " + domain);
        setTitle(std::move(title));
    }
    void searchSimilar(const std::string& url, int seriesId, int structureId, std::string title,
                       std::string domain, int planes, int count) override {
        calls.push_back("similar " + url + " " + std::to_string(seriesId) + " " + std::to_string(structureId) +
                        " " + domain + " " + std::to_string(planes) + " " + std::to_string(count));
        setTitle(std::move(title));
    }
    std::vector<std::string> calls;
};

using test::BlankPage;

class ChosenDomain : public SimilarDomainChooser {
  public:
    std::optional<SimilarDomain> chooseSimilarDomain() override { return answer; }
    std::optional<SimilarDomain> answer;
};

// The strip with "Detail View" at index 0, whose reports go to the tabs as the view forwards them.
class ResultTabsTest : public ::testing::Test, public TabControlListener {
  protected:
    ResultTabsTest() {
        strip.addTab("Detail View", false, nullptr);
        strip.selectTab(0);
    }

    void tabDeselected(int index, void* data) override { tabs.tabDeselected(index, data); }
    void tabSelected(int, void*) override {}
    void tabClosed(int index, void* data) override { tabs.tabClosed(index, data); }

    RecordingList& listAt(int index) { return static_cast<RecordingList&>(*tabs.tabAt(index)->list); }
    std::vector<K> kinds() {
        std::vector<K> result;
        for (int i = 1; i < strip.tabCount(); ++i) result.push_back(tabs.tabAt(i)->kind);
        return result;
    }

    test::FakeDisplay display{800, 600};
    // Declared before the strip, which closes its tabs through them when it goes first.
    ResultTabs tabs{strip, [](PagedGeneList&) { return std::make_unique<BlankPage>(); },
                    [] { return std::make_unique<RecordingList>(); }};
    TabControlRenderer strip{display, this};
};

TEST_F(ResultTabsTest, ASearchReusesTheSelectedOrRememberedTabOfItsKindOrMakesOne) {
    tabs.showTabOfKind(K::Results);
    ASSERT_EQ(strip.tabCount(), 2);
    EXPECT_EQ(strip.selectedIndex(), 1);
    BrainDocTab* results = tabs.tabAt(1);
    EXPECT_EQ(tabs.remembered(K::Results), results);
    EXPECT_EQ(tabs.currentList(), results->list.get());
    tabs.showTabOfKind(K::Results);
    EXPECT_EQ(strip.tabCount(), 2) << "the selected tab of the kind stays";

    strip.selectTab(0);
    EXPECT_EQ(tabs.currentList(), nullptr);
    tabs.showTabOfKind(K::Results);
    EXPECT_EQ(strip.selectedIndex(), 1) << "from the Detail View the remembered tab comes back";
    tabs.showTabOfKind(K::FollowUp);
    EXPECT_EQ(kinds(), (std::vector<K>{K::Results, K::FollowUp}));
    EXPECT_EQ(strip.selectedIndex(), 2);

    // New Tab makes a kind-0 tab nobody remembers until it is left.
    tabs.newTab(true, K::Results);
    EXPECT_EQ(tabs.remembered(K::Results), results);
    strip.selectTab(1);
    EXPECT_EQ(tabs.remembered(K::Results), tabs.tabAt(3)) << "a results tab left becomes the remembered one";
    // Four result tabs and the Detail View: a search that needs a new tab still makes a sixth.
    tabs.newTab(false, K::Results);
    strip.selectTab(2);
    tabs.showTabOfKind(K::FollowUp);
    EXPECT_EQ(strip.tabCount(), 5);
    strip.removeTab(2);
    tabs.showTabOfKind(K::FollowUp);
    EXPECT_EQ(strip.tabCount(), 5);
    EXPECT_EQ(tabs.tabAt(4)->kind, K::FollowUp);
}

TEST_F(ResultTabsTest, ClosingTheRememberedTabRemembersTheNearestOfItsKindWithTiesGoingBack) {
    const struct {
        std::vector<K> layout;
        int closed;
        int expected; // index after the removal, -1 for none
    } cases[] = {
        // Kind-0 tabs at 1 and 5 after closing index 3: both two away, the one before wins.
        {{K::Results, K::FollowUp, K::Results, K::FollowUp, K::FollowUp, K::Results}, 3, 1},
        // At 1 and 4: the one after is nearer.
        {{K::Results, K::FollowUp, K::Results, K::FollowUp, K::Results}, 3, 4},
        {{K::FollowUp, K::Results}, 2, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.closed);
        while (strip.tabCount() > 1) strip.removeTab(strip.tabCount() - 1);
        for (const K kind : c.layout) tabs.newTab(false, kind);
        strip.selectTab(c.closed);
        strip.selectTab(0); // leaving it makes it the remembered kind-0 tab
        ASSERT_EQ(tabs.remembered(K::Results), tabs.tabAt(c.closed));
        strip.removeTab(c.closed);
        EXPECT_EQ(tabs.remembered(K::Results), c.expected < 0 ? nullptr : tabs.tabAt(c.expected));
    }
}

TEST_F(ResultTabsTest, NextAndPreviousWrapAndCloseSelectedSparesTheDetailView) {
    tabs.selectNext();
    EXPECT_EQ(strip.selectedIndex(), 0) << "one tab: nothing";
    tabs.newTab(false, K::Results);
    tabs.newTab(false, K::FollowUp);
    tabs.selectPrevious();
    EXPECT_EQ(strip.selectedIndex(), 2);
    tabs.selectNext();
    EXPECT_EQ(strip.selectedIndex(), 0);
    tabs.selectNext();
    EXPECT_EQ(strip.selectedIndex(), 1);
    tabs.closeSelected();
    EXPECT_EQ(strip.tabCount(), 2);
    strip.selectTab(0);
    tabs.closeSelected();
    EXPECT_EQ(strip.tabCount(), 2);
}

class SearchCommandsTest : public ResultTabsTest {
  protected:
    SearchCommandsTest() {
        // Plane 0 is coronal: offered only while the configuration's coronal switch is on.
        config.setCoronal(false);
        config.setSagittal(true);
    }
    test::SmallAtlas atlas;
    SearchConfig config{atlas.ontology(), "/nonexistent/"};
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    ChosenDomain chooser;
    int focused = 0;
    SearchCommands search{tabs, preferences, atlas.ontology(), chooser, [this] { ++focused; }};
};

TEST_F(SearchCommandsTest, EachSearchGoesToTheTabOfItsKindAndTitlesIt) {
    const std::string url = preferences.searchServiceUrl();
    search.startTextSearch("Gad", "Gad", false);
    EXPECT_EQ(listAt(1).calls, std::vector<std::string>{"text " + url + " Gad 0310"});
    EXPECT_EQ(strip.selectedIndex(), 1);
    search.listImageSeries("Gad1", 14415);
    EXPECT_EQ(listAt(2).calls, std::vector<std::string>{"series " + url + " 14415 0310"});
    EXPECT_EQ(listAt(2).title(), "Gad1 (all)");
    search.startTextSearch("Gad2", "genesym=Gad2", true);
    EXPECT_EQ(listAt(2).calls.back(), "text " + url + " genesym=Gad2 0310");
    search.startAnatomicSearch("structac=CTX[xlevel=2]", "CTX");
    EXPECT_EQ(listAt(1).calls.back(), "text " + url + " structac=CTX[xlevel=2] 0310 anatomic");
    search.startAnatomicSearch("", "nothing");
    EXPECT_EQ(listAt(1).calls.size(), 2u);
    EXPECT_EQ(focused, 4);

    // Similar genes: nothing without a chosen domain; the title carries the structure's acronym.
    search.findSimilar("Gad1", 79);
    EXPECT_EQ(listAt(1).calls.size(), 2u);
    chooser.answer = SimilarDomain{688, 3};
    search.findSimilar("Gad1", 79);
    EXPECT_EQ(listAt(1).calls.back(), "similar " + url + " 79 688 0310 3 0");
    EXPECT_EQ(listAt(1).title(), "Gad1 (CTX)");
}

TEST_F(SearchCommandsTest, SimilarSearchNeedsTheImageSeriesAndAnOfferedPlane) {
    const struct {
        int series, plane;
        bool allowed;
    } cases[] = {{79, 0, false}, {79, 1, true}, {79, 2, true}, {0, 1, false}, {0, 2, false}};
    for (const auto& c : cases) {
        GeneExpression gene("name", "G");
        gene.setHeaderEntry(GeneExpression::kHeaderImageSeriesId, c.series);
        gene.setHeaderEntry(GeneExpression::kHeaderPlane, c.plane);
        EXPECT_EQ(allowsSimilarSearch(gene, config), c.allowed) << c.series << " " << c.plane;
    }
}

} // namespace
} // namespace volumira

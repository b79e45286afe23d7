#include "render/FakeDisplay.h"
#include "render/TabControlRenderer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace volumira {
namespace {

// Records the listener calls as text: "deselected 1 b", "selected 0 a", "closed 2 c".
class Recorder : public TabControlListener {
  public:
    void tabDeselected(int index, void* data) override { add("deselected", index, data); }
    void tabSelected(int index, void* data) override { add("selected", index, data); }
    void tabClosed(int index, void* data) override { add("closed", index, data); }

    std::vector<std::string> calls;

  private:
    void add(const char* what, int index, void* data) {
        calls.push_back(std::string(what) + " " + std::to_string(index) + " " +
                        (data ? *static_cast<std::string*>(data) : std::string("-")));
    }
};

constexpr int kHeight = 400;
// Window y of a point in the middle of the strip.
constexpr int kStripY = 10;

struct Strip {
    test::FakeDisplay display{800, kHeight};
    Recorder recorder;
    TabControlRenderer tabs{display, &recorder};
    std::string a = "a", b = "b", c = "c";

    Strip() {
        tabs.addTab("Detail View", false, &a);
        tabs.addTab("Results 1", true, &b);
        tabs.addTab("Results 2", true, &c);
        recorder.calls.clear();
    }
    // Window x of a tab's close button.
    int closeX(int index) const { return tabs.tabLeft(index) + 8; }
};

TEST(TabStripTest, TitlesOverTwentyFourCharactersAreCut) {
    EXPECT_EQ(TabControlRenderer::shownTitle(std::string(24, 'x')), std::string(24, 'x'));
    EXPECT_EQ(TabControlRenderer::shownTitle("abcdefghijklmnopqrstuvwxy"), "abcdefghijklmnopqrstu...");
    EXPECT_EQ(TabControlRenderer::shownTitle(""), "");
    // Characters, not bytes: 25 two-byte characters keep 21 whole ones.
    std::string umlauts;
    for (int i = 0; i < 25; ++i)
        umlauts += "\xC3\xBC";
    EXPECT_EQ(TabControlRenderer::shownTitle(umlauts), umlauts.substr(0, 42) + "...");
}

TEST(TabStripTest, LayoutFromSixWithMinimumWidth) {
    Strip s;
    const int icon = s.tabs.closeIconWidth();
    // "Detail View": 11 × 7 + 8 + 24 = 109; "Results 1": 63 + 8 + icon + 8.
    EXPECT_EQ(s.tabs.tabLeft(0), 6);
    EXPECT_EQ(s.tabs.tabRight(0), 6 + 109);
    EXPECT_EQ(s.tabs.tabLeft(1), 115);
    EXPECT_EQ(s.tabs.tabRight(1), 115 + std::max(75, 63 + 16 + icon));
    s.tabs.setTabTitle(1, "X");
    EXPECT_EQ(s.tabs.tabRight(1) - s.tabs.tabLeft(1), 75);
    EXPECT_EQ(s.tabs.tabLeft(2), s.tabs.tabRight(1));
}

TEST(TabStripTest, AddReturnsIndexAndRequestsRedraw) {
    test::FakeDisplay display(800, kHeight);
    TabControlRenderer tabs(display, nullptr);
    EXPECT_EQ(tabs.addTab("one", false, nullptr), 0);
    EXPECT_EQ(tabs.addTab("two", true, nullptr), 1);
    EXPECT_EQ(display.redrawRequests, 2);
    EXPECT_EQ(tabs.selectedIndex(), 0);
    EXPECT_TRUE(tabs.hasMultipleTabs());
    EXPECT_EQ(tabs.stripHeight(), 22);
}

TEST(TabStripTest, SelectTellsDeselectedThenSelected) {
    Strip s;
    s.tabs.selectTab(2);
    s.tabs.selectTab(7);
    EXPECT_EQ(s.tabs.selectedIndex(), -1);
    s.tabs.selectTab(1);
    EXPECT_EQ(s.recorder.calls, (std::vector<std::string>{"deselected 0 a", "selected 2 c", "deselected 2 c",
                                                          "deselected -1 -", "selected 1 b"}));
}

TEST(TabStripTest, RemovingTheSelectedLastTabSelectsTheNewLast) {
    Strip s;
    s.tabs.selectTab(2);
    s.recorder.calls.clear();
    s.tabs.removeTab(2);
    EXPECT_EQ(s.tabs.tabCount(), 2);
    EXPECT_EQ(s.tabs.selectedIndex(), 1);
    EXPECT_EQ(s.recorder.calls, (std::vector<std::string>{"deselected 2 c", "selected 1 b", "closed 2 c"}));
}

TEST(TabStripTest, RemovingBeforeTheSelectionShiftsItAndOutOfRangeIsIgnored) {
    Strip s;
    s.tabs.selectTab(2);
    s.recorder.calls.clear();
    s.tabs.removeTab(5);
    s.tabs.removeTab(-1);
    EXPECT_TRUE(s.recorder.calls.empty());
    s.tabs.removeTab(1);
    EXPECT_EQ(s.tabs.selectedIndex(), 1);
    EXPECT_EQ(s.tabs.tabData(1), &s.c);
    // The removed tab's data goes with the deselection, as the view expects.
    EXPECT_EQ(s.recorder.calls, (std::vector<std::string>{"deselected 2 b", "selected 1 c", "closed 1 b"}));
    // The first tab removed while selected: the selection stays on the first.
    s.tabs.selectTab(0);
    s.tabs.removeTab(0);
    EXPECT_EQ(s.tabs.selectedIndex(), 0);
    EXPECT_EQ(s.tabs.tabData(0), &s.c);
}

TEST(TabStripTest, HitTestFindsTabsAndCloseButtons) {
    Strip s;
    const int top = kHeight; // overlay y of the strip's top
    const int icon = s.tabs.closeIconWidth();
    struct Case {
        int x, y, index;
        bool close;
    };
    const Case cases[] = {
        {5, top - 10, -1, false},
        {6, top - 10, 0, false},
        {10, top - 10, 0, false}, // not closable
        {s.tabs.tabLeft(1) + 3, top - 10, 1, false},
        {s.tabs.tabLeft(1) + 4, top - 10, 1, true},
        {s.tabs.tabLeft(1) + icon + 4, top - 10, 1, true},
        {s.tabs.tabLeft(1) + icon + 5, top - 10, 1, false},
        {s.tabs.tabLeft(1) + 8, top - 20, 1, true},
        {s.tabs.tabLeft(1) + 8, top - 21, 1, false},
        {s.tabs.tabLeft(1) + 8, top - 2, 1, false},
        {s.tabs.tabRight(1), top - 10, 2, false},
        {s.tabs.tabRight(2), top - 10, -1, false},
    };
    for (const Case& c : cases) {
        const TabControlRenderer::Hit hit = s.tabs.hitTest(c.x, c.y);
        EXPECT_EQ(hit.index, c.index) << c.x << "," << c.y;
        EXPECT_EQ(hit.onCloseButton, c.close) << c.x << "," << c.y;
    }
}

TEST(TabStripTest, PressOnATabSelectsItButIsNotHandled) {
    Strip s;
    EXPECT_FALSE(s.tabs.mouseDown(0, s.tabs.tabLeft(2) + 40, kStripY, 0, 0));
    EXPECT_EQ(s.tabs.selectedIndex(), 2);
    // Other buttons and presses below the strip are left alone.
    EXPECT_FALSE(s.tabs.mouseDown(2, s.tabs.tabLeft(1) + 40, kStripY, 0, 0));
    EXPECT_FALSE(s.tabs.mouseDown(0, s.tabs.tabLeft(1) + 40, 22, 0, 0));
    EXPECT_EQ(s.tabs.selectedIndex(), 2);
    EXPECT_FALSE(s.tabs.mouseDown(0, s.tabs.tabLeft(1) + 40, 21, 0, 0));
    EXPECT_EQ(s.tabs.selectedIndex(), 1);
}

TEST(TabStripTest, AStripWithOneTabIgnoresPresses) {
    test::FakeDisplay display(800, kHeight);
    Recorder recorder;
    TabControlRenderer tabs(display, &recorder);
    tabs.addTab("Detail View", true, nullptr);
    EXPECT_FALSE(tabs.mouseDown(0, tabs.tabLeft(0) + 8, kStripY, 0, 0));
    EXPECT_TRUE(tabs.mouseUp(0, tabs.tabLeft(0) + 8, kStripY, 0, 0));
    EXPECT_EQ(tabs.tabCount(), 1);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST(TabStripTest, CloseButtonClosesOnlyWhenReleasedOverIt) {
    Strip s;
    EXPECT_TRUE(s.tabs.mouseDown(0, s.closeX(2), kStripY, 0, 0));
    EXPECT_TRUE(s.tabs.mouseMove(s.closeX(2) + 100, kStripY, 0, 0));
    EXPECT_TRUE(s.tabs.mouseUp(0, s.closeX(2) + 100, kStripY, 0, 0));
    EXPECT_EQ(s.tabs.tabCount(), 3);
    // Released over another tab's close button: nothing either.
    s.tabs.mouseDown(0, s.closeX(2), kStripY, 0, 0);
    s.tabs.mouseUp(0, s.closeX(1), kStripY, 0, 0);
    EXPECT_EQ(s.tabs.tabCount(), 3);
    EXPECT_TRUE(s.recorder.calls.empty());
    // Pressed and released over it.
    s.tabs.mouseDown(0, s.closeX(2), kStripY, 0, 0);
    s.tabs.mouseUp(0, s.closeX(2) + 1, kStripY, 0, 0);
    EXPECT_EQ(s.tabs.tabCount(), 2);
    EXPECT_EQ(s.recorder.calls.back(), "closed 2 c");
}

TEST(TabStripTest, TheFirstTabIsNeverClosedByTheMouse) {
    test::FakeDisplay display(800, kHeight);
    TabControlRenderer tabs(display, nullptr);
    tabs.addTab("first", true, nullptr);
    tabs.addTab("second", true, nullptr);
    const int x = tabs.tabLeft(0) + 8;
    EXPECT_TRUE(tabs.mouseDown(0, x, kStripY, 0, 0));
    tabs.mouseUp(0, x, kStripY, 0, 0);
    EXPECT_EQ(tabs.tabCount(), 2);
}

TEST(TabStripTest, FlashRedrawsAtOnceThenRequestsARedraw) {
    Strip s;
    s.tabs.flashTab(0); // the selected tab: nothing
    EXPECT_EQ(s.display.redrawsNow, 0);
    s.tabs.flashTab(1);
    EXPECT_EQ(s.display.redrawsNow, 1);
    EXPECT_GE(s.display.redrawRequests, 1);
}

TEST(TabStripTest, DestructionClosesTabsFromTheLast) {
    test::FakeDisplay display(800, kHeight);
    Recorder recorder;
    std::string a = "a", b = "b";
    {
        TabControlRenderer tabs(display, &recorder);
        tabs.addTab("one", false, &a);
        tabs.addTab("two", true, &b);
    }
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"closed 1 b", "closed 0 a"}));
}

} // namespace
} // namespace volumira

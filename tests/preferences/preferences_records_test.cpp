#include "PreferencesTestSupport.h"
#include "preferences/CheckTime.h"

#include <climits>
#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::localTime;
using test::PreferencesFixture;

constexpr std::time_t kHour = 3600;

TEST(PreferencesVersionCheck, DueWithoutARecordedCheckUnlessChecksAreOff) {
    PreferencesFixture f;
    EXPECT_TRUE(f.load()->isVersionCheckDue());
    f.set("AutomaticVersionCheck", 0);
    EXPECT_FALSE(f.load()->isVersionCheckDue());
    f.set("LastVersionCheck", "14:05:09 Mar 07, 2000");
    EXPECT_FALSE(f.load()->isVersionCheckDue());
}

TEST(PreferencesVersionCheck, DueFromTheHundredAndSixtyNinthWholeHour) {
    const struct {
        std::time_t elapsed;
        bool due;
    } cases[] = {{0, false},          {168 * kHour + 59 * 60, false}, {169 * kHour - 1, false},
                 {169 * kHour, true}, {1000 * kHour, true},           {-200 * kHour, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elapsed);
        PreferencesFixture f;
        const std::time_t checkedAt = f.now;
        f.load()->recordVersionCheck();
        f.now = checkedAt + c.elapsed;
        EXPECT_EQ(f.load()->isVersionCheckDue(), c.due);
    }
}

TEST(PreferencesVersionCheck, RecordsLocalTimeInTheStoredForm) {
    PreferencesFixture f;
    f.now = localTime(2008, 3, 7, 14, 5, 9);
    f.load()->recordVersionCheck();
    EXPECT_EQ(f.store.readText(kSettingsSection, "LastVersionCheck", ""), "14:05:09 Mar 07, 2008");
    f.now = localTime(2024, 12, 31, 0, 0, 0);
    f.load()->recordVersionCheck();
    EXPECT_EQ(f.store.readText(kSettingsSection, "LastVersionCheck", ""), "00:00:00 Dec 31, 2024");
    EXPECT_EQ(parseCheckTime("00:00:00 Dec 31, 2024"), f.now);
}

TEST(PreferencesVersionCheck, AnUnreadableRecordMakesACheckDue) {
    for (const char* text :
         {"garbage", "14:05:09 Foo 07, 2008", "25:00:00 Mar 07, 2008", "14:60:00 Mar 07, 2008",
          "14:05:09 Feb 30, 2008", "14:05:09 Mar 00, 2008", "14:05:09 Mar 07, 2008 extra",
          "14:05 Mar 07, 2008", "14:05:09 mar 07, 2008", "+4:05:09 Mar 07, 2008"}) {
        SCOPED_TRACE(text);
        PreferencesFixture f;
        f.set("LastVersionCheck", text);
        EXPECT_FALSE(parseCheckTime(text).has_value());
        EXPECT_TRUE(f.load()->isVersionCheckDue());
    }
    EXPECT_TRUE(parseCheckTime("12:00:00 Feb 29, 2008").has_value()) << "a leap day";
}

TEST(PreferencesModelSettings, DefaultsAndRoundTrip) {
    PreferencesFixture f;
    const auto p = f.load();
    EXPECT_EQ(p->loadModelSettings(), (ModelSettings{0, 0, 50, 0, 0, 0}));
    // No range checks here: the model checks its own values.
    const ModelSettings saved{2, 1, 75, 1, 3, -4};
    p->saveModelSettings(saved);
    EXPECT_EQ(p->loadModelSettings(), saved);
    EXPECT_EQ(f.stored("ImageAlpha"), 75);
    EXPECT_EQ(f.stored("GeneTresholdControlsVisible"), -4);
}

TEST(PreferencesViewSettings, SideTabFallsBackToTheOldAlphabeticalFlag) {
    const struct {
        std::optional<std::int32_t> viewMode;
        std::optional<std::int32_t> alphabetical;
        std::int32_t tab;
    } cases[] = {{std::nullopt, std::nullopt, kHierarchicalTab},
                 {std::nullopt, 1, kAlphabeticalTab},
                 {std::nullopt, 0, kHierarchicalTab},
                 {2, 1, kBookmarksTab},
                 {0, std::nullopt, kAlphabeticalTab},
                 {-1, 1, kAlphabeticalTab},
                 {7, std::nullopt, kHierarchicalTab}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.viewMode.value_or(-100) * 10 + c.alphabetical.value_or(-1));
        PreferencesFixture f;
        if (c.viewMode) f.set("OntologyViewMode", *c.viewMode);
        if (c.alphabetical) f.set("OntologyAlphabetical", *c.alphabetical);
        EXPECT_EQ(f.load()->loadViewSettings().sideTab, c.tab);
    }
}

TEST(PreferencesViewSettings, SavedAndReadBack) {
    PreferencesFixture f;
    const auto p = f.load();
    EXPECT_EQ(p->loadViewSettings(), (ViewSettings{kHierarchicalTab, false, false}));
    p->saveViewSettings({kBookmarksTab, true, false});
    EXPECT_EQ(f.stored("OntologyViewMode"), 2);
    EXPECT_EQ(f.stored("ExpandedDisplayMode"), 1);
    EXPECT_EQ(f.stored("ImageControlsVisible"), 0);
    EXPECT_EQ(p->loadViewSettings(), (ViewSettings{kBookmarksTab, true, false}));
}

const char* const kPlacementNames[] = {"Main Window Status", "Main Window Top", "Main Window Left",
                                       "Main Window Bottom", "Main Window Right"};
const ScreenMetrics kScreen{0, 0, 1280, 1024, 32, 32};

TEST(PreferencesWindowPlacement, SavedPlacementIsRestoredInOrder) {
    PreferencesFixture f;
    const auto p = f.load();
    p->saveWindowPlacement(3, WindowRect{100, 50, 700, 850});
    EXPECT_EQ(f.store.writeLog(),
              std::vector<std::string>(std::begin(kPlacementNames), std::end(kPlacementNames)));
    EXPECT_EQ(p->loadWindowPlacement(kScreen), (WindowPlacement{3, 50, 100, 800, 600}));
    // The work area's origin moves the window; width and height stay.
    EXPECT_EQ(p->loadWindowPlacement({10, 20, 1280, 1024, 32, 32}), (WindowPlacement{3, 60, 120, 800, 600}));
}

TEST(PreferencesWindowPlacement, AnyMissingValueDiscardsThePlacement) {
    for (const char* missing : kPlacementNames) {
        SCOPED_TRACE(missing);
        PreferencesFixture f;
        const auto p = f.load();
        p->saveWindowPlacement(1, WindowRect{100, 50, 700, 850});
        f.store.remove(kSettingsSection, missing);
        EXPECT_FALSE(p->loadWindowPlacement(kScreen).has_value());
    }
}

TEST(PreferencesWindowPlacement, KeepsAnIconsSizeOnScreenToTheRightAndBelow) {
    const struct {
        WindowRect stored;
        std::int32_t x, y;
    } cases[] = {{{100, 5000, 400, 5600}, 1248, 100},
                 {{3000, 10, 3300, 400}, 10, 992},
                 {{-500, -900, 100, -100}, -900, -500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        PreferencesFixture f;
        const auto p = f.load();
        p->saveWindowPlacement(1, c.stored);
        const auto placement = p->loadWindowPlacement(kScreen);
        ASSERT_TRUE(placement.has_value());
        EXPECT_EQ(placement->x, c.x);
        EXPECT_EQ(placement->y, c.y);
    }
}

TEST(PreferencesWindowPlacement, DamagedRectanglesAreIgnored) {
    const WindowRect cases[] = {{100, 500, 400, 500},
                                {100, 500, 50, 900},
                                {0, INT_MIN, 100, INT_MAX},
                                {INT_MAX - 5, 0, INT_MAX, 100}};
    for (const WindowRect& r : cases) {
        SCOPED_TRACE(r.left);
        PreferencesFixture f;
        const auto p = f.load();
        p->saveWindowPlacement(1, r);
        EXPECT_FALSE(p->loadWindowPlacement({0, 100, 1280, 1024, 32, 32}).has_value());
    }
}

} // namespace
} // namespace volumira

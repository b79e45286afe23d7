#include "PreferencesTestSupport.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace volumira {
namespace {

using test::PreferencesFixture;

// Records every change code it hears, tagged with its own name.
class RecordingListener : public UserPreferencesListener {
  public:
    RecordingListener(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void preferencesChanged(int code) override {
        log_.push_back(name_ + ":" + std::to_string(code));
        if (onChange) onChange();
    }
    std::function<void()> onChange;

  private:
    std::vector<std::string>& log_;
    std::string name_;
};

struct FlagSetter {
    const char* name;
    void (UserPreferences::*set)(bool);
    bool (UserPreferences::*get)() const;
    int code; // 0: no notification
};

const FlagSetter kFlagSetters[] = {
    {"AutoRotateView", &UserPreferences::setAutoRotateView, &UserPreferences::autoRotateView, 1},
    {"FasterLowerQualityExpressorDrawing", &UserPreferences::setFasterLowerQualityExpressorDrawing,
     &UserPreferences::fasterLowerQualityExpressorDrawing, 3},
    {"VerticalSync", &UserPreferences::setVerticalSync, &UserPreferences::verticalSync, 4},
    {"AskedOptimizeVideoSettings", &UserPreferences::setAskedOptimizeVideoSettings,
     &UserPreferences::askedOptimizeVideoSettings, 0},
    {"AutomaticVersionCheck", &UserPreferences::setAutomaticVersionCheck,
     &UserPreferences::automaticVersionCheck, 0},
};

TEST(PreferencesSetters, FlagChangesAreWrittenAtOnceAndAnnouncedWithTheirCode) {
    for (const FlagSetter& s : kFlagSetters) {
        SCOPED_TRACE(s.name);
        PreferencesFixture f;
        const auto p = f.load();
        std::vector<std::string> log;
        RecordingListener listener(log, "L");
        p->addListener(&listener);

        const bool initial = ((*p).*s.get)();
        ((*p).*s.set)(initial);
        EXPECT_TRUE(f.store.writeLog().empty()) << "an unchanged value is not written";
        EXPECT_TRUE(log.empty()) << "an unchanged value is not announced";

        ((*p).*s.set)(!initial);
        EXPECT_EQ(((*p).*s.get)(), !initial);
        EXPECT_EQ(f.stored(s.name), initial ? 0 : 1);
        EXPECT_EQ(log, s.code ? std::vector<std::string>{"L:" + std::to_string(s.code)}
                              : std::vector<std::string>{});
        // The written value is what the next start reads.
        EXPECT_EQ(((*f.load()).*s.get)(), !initial);
        p->removeListener(&listener);
    }
}

TEST(PreferencesSetters, MultisampleIsWrittenAndAnnouncedOnlyWhenItChanges) {
    PreferencesFixture f;
    const auto p = f.load();
    std::vector<std::string> log;
    RecordingListener listener(log, "L");
    p->addListener(&listener);
    p->setMultisample(0);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(f.store.contains(kSettingsSection, "Multisample"));
    p->setMultisample(4);
    p->setMultisample(4);
    EXPECT_EQ(f.stored("Multisample"), 4);
    EXPECT_EQ(log, std::vector<std::string>{"L:2"});
    // The largest sample count is the display's, kept for this run only.
    p->setMaxMultisample(8);
    EXPECT_EQ(p->maxMultisample(), 8);
    EXPECT_FALSE(f.store.contains(kSettingsSection, "MaxMultisample"));
    EXPECT_EQ(log.size(), 1u);
}

TEST(PreferencesSetters, BookmarkSpeedIsStoredInWholeMillisecondsWithinRange) {
    const struct {
        float seconds;
        float kept;
        std::int32_t written;
    } cases[] = {{0.5f, 0.5f, 500},        {0.0f, 0.0f, 0},       {10.0f, 10.0f, 10000},
                 {2.9999f, 2.9999f, 2999}, {25.0f, 10.0f, 10000}, {-1.0f, 0.0f, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        PreferencesFixture f;
        const auto p = f.load();
        p->setBookmarkAnimationSpeed(c.seconds);
        EXPECT_FLOAT_EQ(p->bookmarkAnimationSeconds(), c.kept);
        EXPECT_EQ(f.stored("BookmarkAnimationSpeed"), c.written);
    }
    PreferencesFixture f;
    const auto p = f.load();
    p->setBookmarkAnimationSpeed(2.0f);
    p->setBookmarkAnimationSpeed(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(p->bookmarkAnimationSeconds(), 2.0f);
    EXPECT_TRUE(f.store.writeLog().empty());
}

TEST(PreferencesSetters, AFailedWriteKeepsTheNewValueForTheRun) {
    PreferencesFixture f;
    const auto p = f.load();
    f.store.setReadOnly(true);
    p->setVerticalSync(false);
    p->setMultisample(2);
    EXPECT_FALSE(p->verticalSync());
    EXPECT_EQ(p->multisample(), 2);
    EXPECT_TRUE(f.load()->verticalSync());
}

TEST(PreferencesListeners, CalledOnceEachInOrderOfRegistration) {
    PreferencesFixture f;
    const auto p = f.load();
    std::vector<std::string> log;
    RecordingListener a(log, "a"), b(log, "b");
    p->addListener(&a);
    p->addListener(&b);
    p->addListener(&a);
    p->setAutoRotateView(false);
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:1"}));

    log.clear();
    p->removeListener(&a);
    p->setVerticalSync(false);
    EXPECT_EQ(log, (std::vector<std::string>{"b:4"}));
}

TEST(PreferencesListeners, AListenerMayUnregisterItselfOrALaterOneWhileCalled) {
    PreferencesFixture f;
    const auto p = f.load();
    std::vector<std::string> log;
    RecordingListener a(log, "a"), b(log, "b"), c(log, "c");
    a.onChange = [&] { p->removeListener(&a); };
    b.onChange = [&] { p->removeListener(&c); };
    for (auto* l : {&a, &b, &c})
        p->addListener(l);
    p->setFasterLowerQualityExpressorDrawing(true);
    EXPECT_EQ(log, (std::vector<std::string>{"a:3", "b:3"}));
    log.clear();
    p->notifyListeners(4);
    EXPECT_EQ(log, (std::vector<std::string>{"b:4"}));
}

TEST(PreferencesInstance, LoadsFromTheStoreItWasGiven) {
    auto store = std::make_unique<MemorySettingsStore>();
    store->writeInteger(kSettingsSection, "VerticalSync", 0);
    UserPreferences::useStore(std::move(store));
    UserPreferences& p = UserPreferences::instance();
    EXPECT_EQ(&p, &UserPreferences::instance());
    EXPECT_FALSE(p.verticalSync());
    EXPECT_EQ(p.version(), versionText(builtProgramVersion()));
    p.setVerticalSync(true);
    UserPreferences::releaseInstance();
    EXPECT_TRUE(UserPreferences::instance().verticalSync()) << "the written value survives a reload";
    UserPreferences::useStore(nullptr);
    EXPECT_TRUE(UserPreferences::instance().verticalSync()) << "defaults without a store";
    UserPreferences::releaseInstance();
}

} // namespace
} // namespace volumira

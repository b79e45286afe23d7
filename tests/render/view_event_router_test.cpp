#include "render/FakeDisplay.h"
#include "render/GLRenderer.h"
#include "render/TimerListener.h"
#include "render/ViewEventRouter.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace volumira {
namespace {

// Every call on the host and on the page, as text, in order.
using Log = std::vector<std::string>;

class RecordingHost : public ViewHost {
  public:
    explicit RecordingHost(Log& log) : log_(log) {}
    void takeFocus() override { log_.push_back("focus"); }
    void grabMouse() override { log_.push_back("grab"); }
    void ungrabMouse() override { log_.push_back("ungrab"); }
    void armLeaveNotification() override { log_.push_back("arm-leave"); }
    void presentFrame() override { log_.push_back("present"); }
    void schedulePaint() override { log_.push_back("schedule-paint"); }
    void clientSize(int& width, int& height) const override {
        width = 320;
        height = 200;
    }
    bool startPlatformTimer(int id, int intervalMs) override {
        log_.push_back("start-timer " + std::to_string(id) + " " + std::to_string(intervalMs));
        return acceptTimers;
    }
    void killPlatformTimer(int id) override { log_.push_back("kill-timer " + std::to_string(id)); }
    void showPaintError(const std::string& message) override { log_.push_back("status: " + message); }

    bool acceptTimers = true;

  private:
    Log& log_;
};

// The display whose context the router grabs. It logs each grab ("make-current") and, when it can tell
// what was current before, the restoring of that ("restore <name>").
class RecordingDisplay : public test::FakeDisplay {
  public:
    explicit RecordingDisplay(Log& log) : FakeDisplay(320, 200), log_(log) {}
    bool makeCurrent() override {
        log_.push_back("make-current");
        if (current) currentName = "view";
        return current;
    }

    bool current = true;
    // The context current now, as the display knows it; empty when it cannot tell.
    std::string currentName;

  protected:
    ContextRestorer currentContextRestorer() override {
        if (currentName.empty() || currentName == "view") return {};
        return [this, previous = currentName] {
            log_.push_back("restore " + previous);
            currentName = previous;
        };
    }

  private:
    Log& log_;
};

class RecordingPage : public GLInteractiveRenderer, public TimerListener {
  public:
    RecordingPage(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
    void initialize() override { log_.push_back(name_ + ".initialize"); }
    void draw() override {
        log_.push_back(name_ + ".draw");
        if (failDraw) throw std::runtime_error("out of texture memory");
    }
    void resize(int width, int height) override {
        log_.push_back(name_ + ".resize " + std::to_string(width) + "x" + std::to_string(height));
    }
    void setActive(bool active) override { log_.push_back(name_ + (active ? ".active" : ".inactive")); }
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override {
        return note("down", button, x, y, modifiers, time);
    }
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override {
        return note("up", button, x, y, modifiers, time);
    }
    bool mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time) override {
        return note("double", button, x, y, modifiers, time);
    }
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override {
        return note("move", -1, x, y, modifiers, time);
    }
    bool mouseLeave(std::uint32_t time) override { return note("leave", -1, 0, 0, 0, time); }
    bool mouseWheel(int, int, int, int delta, std::uint32_t) override {
        log_.push_back(name_ + ".wheel " + std::to_string(delta));
        return false;
    }
    void mouseCaptureLost() override { log_.push_back(name_ + ".capture-lost"); }
    bool keyChar(char32_t c, int modifiers, std::uint32_t) override {
        log_.push_back(name_ + ".char " + std::to_string(static_cast<unsigned>(c)) + " " +
                       std::to_string(modifiers));
        return true;
    }
    bool keySpecial(int code, int modifiers, std::uint32_t) override {
        log_.push_back(name_ + ".key " + std::to_string(code) + " " + std::to_string(modifiers));
        return true;
    }
    void timerTick() override { log_.push_back(name_ + ".tick"); }

    bool failDraw = false;

  private:
    bool note(const char* what, int button, int x, int y, int modifiers, std::uint32_t time) {
        log_.push_back(name_ + "." + what + " " + std::to_string(button) + " " + std::to_string(x) + "," +
                       std::to_string(y) + " " + std::to_string(modifiers) + " @" + std::to_string(time));
        return true;
    }
    Log& log_;
    std::string name_;
};

class RouterTest : public ::testing::Test {
  protected:
    Log log;
    RecordingHost host{log};
    RecordingDisplay display{log};
    ViewEventRouter router{host, display};
    RecordingPage scene{log, "scene"};
    RecordingPage thumbs{log, "thumbs"};
};

TEST_F(RouterTest, InstallingPagesDeactivatesInitialisesAndResizes) {
    router.installPage(&scene);
    router.installPage(&thumbs);
    // The whole installation runs with the context grabbed, initialising and resizing each again.
    const Log expected{"make-current",      "make-current",          "scene.initialize", "make-current",
                       "scene.resize 320x200", "scene.active",       "schedule-paint",   "make-current",
                       "scene.inactive",    "make-current",          "thumbs.initialize", "make-current",
                       "thumbs.resize 320x200", "thumbs.active",     "schedule-paint"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(router.renderer(), &thumbs);
    EXPECT_EQ(router.width(), 320);
    EXPECT_EQ(router.height(), 200);
}

TEST_F(RouterTest, PaintDrawsAndPresentsOnlyWithARenderer) {
    router.paint();
    EXPECT_EQ(log, Log{"make-current"}); // no drawing, no buffer swap
    router.setRenderer(&scene);
    log.clear();
    router.paint();
    EXPECT_EQ(log, (Log{"make-current", "scene.draw", "present"}));

    log.clear();
    scene.failDraw = true;
    router.paint();
    EXPECT_EQ(log, (Log{"make-current", "scene.draw", "status: out of texture memory"}));

    log.clear();
    display.current = false;
    router.paint();
    EXPECT_EQ(log, (Log{"make-current", "status: Error initializing OpenGL."}));
    try {
        router.resized(10, 10);
        FAIL() << "resize without a context must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error setting OpenGL context.");
    }
}

TEST_F(RouterTest, ButtonsCaptureAndFlagsWithAndWithoutListener) {
    for (bool withListener : {false, true}) {
        log.clear();
        router.setMouseListener(withListener ? &scene : nullptr);
        router.setMouseMoveEvents(true);
        router.buttonDown(0, 5, 6, 1, 100);
        EXPECT_TRUE(router.isButtonDown());
        EXPECT_TRUE(router.isCaptured());
        router.pointerMoved(7, 8, 2, 110);
        router.buttonUp(0, 7, 8, 0, 120);
        EXPECT_FALSE(router.isButtonDown());
        EXPECT_FALSE(router.isCaptured());
        router.pointerLeft(130);
        EXPECT_FALSE(router.isLeaveArmed());
        const Log expected = withListener ? Log{"focus",
                                                "grab",
                                                "make-current",
                                                "scene.down 0 5,6 1 @100",
                                                "arm-leave",
                                                "make-current",
                                                "scene.move -1 7,8 2 @110",
                                                "ungrab",
                                                "make-current",
                                                "scene.up 0 7,8 0 @120",
                                                "make-current",
                                                "scene.leave -1 0,0 0 @130"}
                                          : Log{"focus", "grab", "arm-leave", "ungrab"};
        EXPECT_EQ(log, expected);
    }
}

TEST_F(RouterTest, MotionOnlyWhenWantedAndLeaveArmedOnce) {
    router.setMouseListener(&scene);
    router.pointerMoved(1, 1, 0, 1);
    EXPECT_TRUE(log.empty());
    router.setMouseMoveEvents(true);
    router.pointerMoved(2, 2, 0, 2);
    router.pointerMoved(3, 3, 0, 3);
    EXPECT_TRUE(router.isLeaveArmed());
    router.pointerLeft(4);
    router.pointerMoved(5, 5, 0, 5);
    const Log expected{"arm-leave",    "make-current",           "scene.move -1 2,2 0 @2",
                       "make-current", "scene.move -1 3,3 0 @3", "make-current",
                       "scene.leave -1 0,0 0 @4", "arm-leave",   "make-current",
                       "scene.move -1 5,5 0 @5"};
    EXPECT_EQ(log, expected);
}

TEST_F(RouterTest, WheelIsHandledEvenWithoutListener) {
    EXPECT_TRUE(router.wheel(0, 0, 0, -120, 1));
    router.setMouseListener(&scene);
    EXPECT_TRUE(router.wheel(0, 0, 0, 240, 2)); // the listener declines, the message is still handled
    EXPECT_EQ(log, (Log{"make-current", "scene.wheel 240"}));
}

TEST_F(RouterTest, DeactivationWhileCapturedReportsCaptureLost) {
    router.setMouseListener(&scene);
    router.deactivated();
    EXPECT_TRUE(log.empty());
    router.buttonDown(2, 1, 1, 0, 1);
    log.clear();
    router.deactivated();
    EXPECT_EQ(log, (Log{"make-current", "scene.capture-lost", "ungrab"}));
    EXPECT_FALSE(router.isCaptured());
    EXPECT_TRUE(router.isButtonDown());
}

TEST_F(RouterTest, CaptureOnlyWhileAButtonIsDown) {
    try {
        router.captureMouse();
        FAIL() << "capture without a button must throw";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "The mouse can only be captured while a mouse button is down.");
    }
    EXPECT_FALSE(router.isCaptured());
    router.buttonDown(0, 0, 0, 0, 0);
    router.releaseMouse();
    EXPECT_FALSE(router.isCaptured());
    router.captureMouse();
    EXPECT_TRUE(router.isCaptured());
}

TEST_F(RouterTest, OnlyNavigationKeysAndCharactersReachTheKeyListener) {
    router.keyDown(1, 0, 0);
    router.setKeyListener(&scene);
    for (int code : {0, 1, 4, 8, 9, 65})
        router.keyDown(code, 2, 0);
    router.character(U']', 4, 0);
    EXPECT_EQ(log, (Log{"make-current", "scene.key 1 2", "make-current", "scene.key 4 2", "make-current",
                        "scene.key 8 2", "make-current", "scene.char 93 4"}));
}

TEST_F(RouterTest, OneTimerWithIdentifier1000) {
    router.startTimer(40, nullptr); // ignored
    router.timer(1000);
    EXPECT_TRUE(log.empty());
    router.startTimer(40, &scene);
    router.timer(999);
    router.timer(1000);
    router.startTimer(50, &thumbs); // replaces the running one
    router.timer(1000);
    router.stopTimer();
    router.stopTimer();
    router.timer(1000);
    host.acceptTimers = false;
    router.startTimer(40, &scene); // refused: no listener kept
    router.timer(1000);
    const Log expected{"start-timer 1000 40", "make-current",    "scene.tick",         "kill-timer 1000",
                       "start-timer 1000 50", "make-current",    "thumbs.tick",        "kill-timer 1000",
                       "start-timer 1000 40"};
    EXPECT_EQ(log, expected);
}

// After a paint the toolkit leaves its own context current. Each entry makes the view's current for
// the call and then puts the other one back; a display that cannot be made current still keeps the
// router's state.
TEST_F(RouterTest, EveryEntryGrabsTheViewsContextAndPutsBackTheOne) {
    router.installPage(&scene);
    router.startTimer(40, &scene);
    router.setMouseMoveEvents(true);
    router.pointerMoved(1, 1, 0, 1);
    struct Entry {
        const char* name;
        std::function<void()> deliver;
        const char* call;
    };
    const std::vector<Entry> entries{
        {"press", [&] { router.buttonDown(0, 2, 3, 0, 10); }, "scene.down 0 2,3 0 @10"},
        {"motion", [&] { router.pointerMoved(4, 5, 0, 11); }, "scene.move -1 4,5 0 @11"},
        {"capture lost", [&] { router.deactivated(); }, "scene.capture-lost"},
        {"release", [&] { router.buttonUp(0, 4, 5, 0, 12); }, "scene.up 0 4,5 0 @12"},
        {"double click", [&] { router.doubleClick(0, 4, 5, 0, 13); }, "scene.double 0 4,5 0 @13"},
        {"wheel", [&] { router.wheel(0, 0, 0, 120, 14); }, "scene.wheel 120"},
        {"leave", [&] { router.pointerLeft(15); }, "scene.leave -1 0,0 0 @15"},
        {"key", [&] { router.keyDown(1, 0, 16); }, "scene.key 1 0"},
        {"character", [&] { router.character(U'r', 0, 17); }, "scene.char 114 0"},
        {"tick", [&] { router.timer(1000); }, "scene.tick"},
        {"paint", [&] { router.paint(); }, "scene.draw"},
    };
    for (const Entry& e : entries) {
        display.currentName = "compositor";
        log.clear();
        e.deliver();
        const auto call = std::find(log.begin(), log.end(), e.call);
        ASSERT_NE(call, log.end()) << e.name;
        const auto grab = std::find(log.begin(), call, "make-current");
        EXPECT_NE(grab, call) << e.name << ": the context is made current before the call";
        EXPECT_NE(std::find(call, log.end(), "restore compositor"), log.end()) << e.name;
        EXPECT_EQ(display.currentName, "compositor") << e.name;
    }

    display.current = false;
    log.clear();
    router.buttonDown(0, 1, 1, 0, 20);
    EXPECT_TRUE(router.isCaptured());
    router.buttonUp(0, 1, 1, 0, 21);
    EXPECT_FALSE(router.isButtonDown());
}

} // namespace
} // namespace volumira

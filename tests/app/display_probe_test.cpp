// The window-system probe of what the display offers a view, on the real display (Mesa under Xvfb), and
// a view set up and judged with it.

#include "app/CGLView.h"
#include "app/PreferencesDialog.h"
#include "app/Prompt.h"
#include "app/QtDisplayOffer.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTest>
#include <QWindow>
#include <stdexcept>
#include <gtest/gtest.h>

namespace volumira {
namespace {

using Step = DisplayFacts::Step;

// Goes on with a slow display, declines the offer, and keeps what it was shown.
class KeepingPrompt : public Prompt {
  public:
    bool askWarning(const std::string& text) override {
        shown.push_back(text);
        return true;
    }
    bool askQuestion(const std::string& text) override {
        shown.push_back(text);
        return false;
    }
    void inform(const std::string& text) override { shown.push_back(text); }
    void error(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// Without GL in the window system (QT_XCB_GL_INTEGRATION=none) only the test for that case runs.
bool withoutGL() { return qEnvironmentVariable("QT_XCB_GL_INTEGRATION") == "none"; }

class DisplayProbeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static MemorySettingsStore store;
        static UserPreferences formatPreferences(store, PreferencesEnvironment::ofProcess());
        CGLView::configureSurfaceFormat(formatPreferences);
        static int argc = 1;
        static char name[] = "display_probe_tests";
        static char* argv[] = {name, nullptr};
        // Never destroyed: at exit the toolkit's own clean-up would run after the statics it needs.
        static QApplication* application = new QApplication(argc, argv);
        (void)application;
    }
    void SetUp() override {
        if (withoutGL() != (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) ==
                            "AWindowSystemWithoutGLIsReportedAsSuch"))
            GTEST_SKIP() << "runs only " << (withoutGL() ? "without" : "with") << " GL";
    }

    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    KeepingPrompt prompt;
};

TEST_F(DisplayProbeTest, TheProbeFindsAUsableContextAndASampleCountTheDisplayReallyHas) {
    QtDisplayOffer display(QSurfaceFormat::defaultFormat());
    const DisplayFacts plain = display.probe(0);
    EXPECT_EQ(plain.reached, Step::ContextCurrent);
    EXPECT_TRUE(plain.openGL && plain.rgba && plain.doubleBuffered);
    EXPECT_GE(plain.redBits + plain.greenBits + plain.blueBits, 24);
    EXPECT_FALSE(plain.renderer.empty());
    EXPECT_NE(plain.extensions.find("GL_EXT_bgra"), std::string::npos);
    EXPECT_TRUE(offersSamples(plain, 0));

    preferences.setMultisample(6);
    const int used = chooseMultisample(display, preferences);
    const int maximum = preferences.maxMultisample();
    std::printf("display: %s; samples offered up to %d\n", plain.renderer.c_str(), maximum);
    EXPECT_TRUE(maximum == 0 || maximum == 2 || maximum == 4 || maximum == 6) << maximum;
    EXPECT_EQ(used, maximum);
    EXPECT_EQ(preferences.multisample(), maximum);
    if (maximum > 0) {
        EXPECT_GE(display.probe(maximum).samples, maximum);
    }
    // The next count up is what the display lacks (the window system answers it with a lesser format).
    if (maximum < 6) {
        EXPECT_FALSE(offersSamples(display.probe(maximum + 2), maximum + 2));
    }
}

TEST_F(DisplayProbeTest, AViewAsksForTheSamplesChosenAndProbingLeavesTheCurrentContextAlone) {
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext other;
    ASSERT_TRUE(other.create());
    ASSERT_TRUE(other.makeCurrent(&surface));

    const struct {
        int preferred;
        bool multisampled;
    } cases[] = {{1, false}, {0, false}, {6, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.preferred);
        preferences.setMultisample(c.preferred);
        CGLView view(preferences, prompt);
        EXPECT_EQ(QOpenGLContext::currentContext(), &other);
        const int maximum = preferences.maxMultisample();
        const int expected = c.multisampled ? maximum : 0;
        EXPECT_EQ(preferences.multisample(), expected);
        EXPECT_EQ(std::max(view.format().samples(), 0), expected);
    }
    other.doneCurrent();

    // The count stored is one the shown view really draws with, not just one it asked for.
    preferences.setMultisample(6);
    CGLView view(preferences, prompt);
    view.resize(320, 240);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(view.makeCurrent());
    GLint samples = -1;
    QOpenGLContext::currentContext()->functions()->glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_GE(samples, preferences.multisample());
}

TEST_F(DisplayProbeTest, AShownViewOnSoftwareMesaIsJudgedSlowButUsable) {
    CGLView view(preferences, prompt);
    view.resize(320, 240);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    preferences.setAskedOptimizeVideoSettings(true);
    view.setShowDiagnostic(true);
    EXPECT_TRUE(view.checkDisplay());
    const DisplayFacts& facts = view.displayFacts();
    EXPECT_EQ(facts.reached, Step::ContextCurrent);
    const bool software = facts.renderer.find("llvmpipe") != std::string::npos ||
                          facts.renderer.find("softpipe") != std::string::npos;
    ASSERT_EQ(prompt.shown.size(), software ? 2u : 1u);
    if (software) {
        EXPECT_NE(prompt.shown[0].find("The display is not hardware accelerated."), std::string::npos);
    }
    EXPECT_EQ(prompt.shown.back().rfind("Diagnostic\n\n" + facts.vendor + "\n" + facts.renderer + "\nVersion: ", 0),
              0u);
}

TEST_F(DisplayProbeTest, ThePreferencesListTheProbedSampleCountsAndSayWhenVerticalSyncApplies) {
    preferences.setMultisample(2);
    CGLView view(preferences, prompt);
    PreferencesDialog dialog(preferences);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QStringList expected{"Off"};
    for (int n = 2; n <= preferences.maxMultisample(); n += 2) expected << QString::number(n);
    QStringList listed;
    for (int i = 0; i < dialog.multisampleList().count(); ++i) listed << dialog.multisampleList().itemText(i);
    EXPECT_EQ(listed, expected);
    EXPECT_LE(listed.size(), 4);

    // The swap interval is fixed when the window is made: the dialog says so under the check box.
    auto* note = dialog.findChild<QLabel*>("VerticalSyncNote");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), "This setting takes effect the next time Volumira starts.");
    EXPECT_TRUE(note->isVisible());
    const QRect box = dialog.verticalSyncBox().geometry();
    EXPECT_GE(note->geometry().top(), box.bottom());
    EXPECT_LT(note->geometry().top(), box.bottom() + 2 * box.height());
}

TEST_F(DisplayProbeTest, AVerticalSyncChangeReachesTheWindowsMadeAfterItAndNoOther) {
    const auto swapInterval = [](QWidget& top) {
        top.resize(320, 240);
        top.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&top));
        return top.windowHandle() ? top.windowHandle()->format().swapInterval() : -2;
    };
    preferences.setVerticalSync(true);
    QWidget first;
    new CGLView(preferences, prompt, &first);
    // Turned off as the faster settings do when offered before the main window shows.
    preferences.setVerticalSync(false);
    EXPECT_EQ(swapInterval(first), 0);
    // A window once made keeps its interval: the change waits for the next window, the next start's.
    preferences.setVerticalSync(true);
    EXPECT_EQ(first.windowHandle()->format().swapInterval(), 0);
    QWidget second;
    new CGLView(preferences, prompt, &second);
    EXPECT_EQ(swapInterval(second), 1);
}

TEST_F(DisplayProbeTest, AWindowSystemWithoutGLIsReportedAsSuch) {
    QtDisplayOffer display(QSurfaceFormat::defaultFormat());
    const DisplayFacts facts = display.probe(0);
    EXPECT_FALSE(facts.openGL);
    preferences.setMultisample(4);
    EXPECT_EQ(chooseMultisample(display, preferences), 0);
    EXPECT_EQ(preferences.multisample(), 4) << "the preference waits for a display with GL";

    // The view itself tells the same, and before it shows: drawing a window with a GL view brings the
    // toolkit down when there is no GL.
    CGLView view(preferences, prompt);
    EXPECT_EQ(preferences.multisample(), 4);
    try {
        view.checkDisplay();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error initializing OpenGL: OpenGL not supported by the display.");
    }
    EXPECT_TRUE(prompt.shown.empty());
}

} // namespace
} // namespace volumira

// The rules of a view's GL set-up against described displays: the sample count, the errors and warnings,
// the faster-settings offer and the diagnostic box. No window system is needed.

#include "app/GLSetup.h"
#include "app/Prompt.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <gtest/gtest.h>

namespace volumira {
namespace {

using Step = DisplayFacts::Step;

// A display described by what a plain probe shows and the sample counts of its formats. Like a window
// system it answers a multisample request with the smallest count at least as large, and falls back to a
// format without samples when there is none.
class DescribedDisplay : public DisplayOffer {
  public:
    DescribedDisplay(DisplayFacts plain, std::vector<int> sampleCounts, bool sampledFormatsComplete = true)
        : plain_(std::move(plain)), counts_(std::move(sampleCounts)), complete_(sampledFormatsComplete) {
        std::sort(counts_.begin(), counts_.end());
    }
    DisplayFacts probe(int samples) override {
        asked.push_back(samples);
        DisplayFacts facts = plain_;
        facts.samples = 0;
        if (samples <= 0) return facts;
        for (const int count : counts_) {
            if (count < samples) continue;
            facts.samples = count;
            // Some displays offer multisampling only with single buffering.
            if (!complete_) facts.doubleBuffered = false;
            break;
        }
        return facts;
    }
    std::vector<int> asked;

  private:
    DisplayFacts plain_;
    std::vector<int> counts_;
    bool complete_;
};

// Answers from a script and keeps every box it was shown, in order, as "kind: text".
class ScriptedPrompt : public Prompt {
  public:
    ScriptedPrompt(bool warningAnswer = true, bool questionAnswer = false)
        : warningAnswer_(warningAnswer), questionAnswer_(questionAnswer) {}
    bool askWarning(const std::string& text) override {
        shown.push_back("warning: " + text);
        return warningAnswer_;
    }
    bool askQuestion(const std::string& text) override {
        shown.push_back("question: " + text);
        return questionAnswer_;
    }
    void inform(const std::string& text) override { shown.push_back("inform: " + text); }
    void error(const std::string& text) override { shown.push_back("error: " + text); }
    std::vector<std::string> shown;

  private:
    bool warningAnswer_, questionAnswer_;
};

DisplayFacts hardware() {
    DisplayFacts facts;
    facts.vendor = "Acme";
    facts.renderer = "Acme Graphics 9000";
    facts.version = "4.6 Compatibility";
    facts.extensions = "GL_ARB_multisample GL_EXT_bgra GL_EXT_texture3D";
    return facts;
}

DisplayFacts software() {
    DisplayFacts facts = hardware();
    facts.vendor = "Mesa";
    facts.renderer = "llvmpipe (LLVM 15.0.6, 256 bits)";
    return facts;
}

const std::string kSlow = "Warning: it is likely this application will not run at a usable speed.\n\n";
const std::string kNotAccelerated = "The display is not hardware accelerated.\n";
const std::string kLowDepth =
    "The display bit depth is too low. Please set the display to 32 bits per pixel (millions of colors).\n";
const std::string kContinue = "\nDo you want to continue?";
const std::string kOffer =
    "Volumira can optimize its video settings for a better frame rate. However, it will need to downgrade the "
    "visual quality of the 3D scene. You can readjust the settings at any time from the Options item in the "
    "View menu.\n\nDo you want Volumira to adjust its video settings for frame rate?";

class GLSetupTest : public ::testing::Test {
  protected:
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
};

TEST_F(GLSetupTest, TheSampleCountIsTheLargestOfSixFourAndTwoTheDisplayOffersCappedByThePreference) {
    const struct {
        const char* display;
        std::vector<int> counts;
        bool complete;
        int preferred, used, maximum;
        std::vector<int> asked;
    } cases[] = {
        {"2 and 4", {2, 4}, true, 4, 4, 4, {0, 6, 4}},
        {"2 and 4", {2, 4}, true, 6, 4, 4, {0, 6, 4}},
        {"2 and 4", {2, 4}, true, 1, 0, 4, {0, 6, 4}},
        {"2 and 4", {2, 4}, true, 0, 0, 4, {0, 6, 4}},
        {"2 and 4", {2, 4}, true, 3, 2, 4, {0, 6, 4}},
        {"2 only", {2}, true, 6, 2, 2, {0, 6, 4, 2}},
        {"none", {}, true, 4, 0, 0, {0, 6, 4, 2}},
        // A display that offers 8 or 16 still tops out at 6: the count a driver reports as its limit is
        // not what the view asks for.
        {"8", {8}, true, 8, 6, 6, {0, 6}},
        {"16", {16}, true, 4, 4, 6, {0, 6}},
        // Multisampled formats that lose double buffering are not offered.
        {"single-buffered 4", {4}, false, 4, 0, 0, {0, 6, 4, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.display) + ", preferred " + std::to_string(c.preferred));
        store.writeInteger(kSettingsSection, "Multisample", c.preferred);
        UserPreferences prefs(store, PreferencesEnvironment::ofProcess());
        DescribedDisplay display(hardware(), c.counts, c.complete);
        EXPECT_EQ(chooseMultisample(display, prefs), c.used);
        EXPECT_EQ(prefs.multisample(), c.used);
        EXPECT_EQ(store.readInteger(kSettingsSection, "Multisample", -1), c.used);
        EXPECT_EQ(prefs.maxMultisample(), c.maximum);
        EXPECT_EQ(display.asked, c.asked);
    }
}

TEST_F(GLSetupTest, ADisplayWithoutAnyUsableContextKeepsTheSamplePreference) {
    for (const Step reached : {Step::None, Step::FormatDescribed, Step::FormatSet, Step::ContextCreated}) {
        store.writeInteger(kSettingsSection, "Multisample", 4);
        UserPreferences prefs(store, PreferencesEnvironment::ofProcess());
        prefs.setMaxMultisample(4);
        DisplayFacts broken = hardware();
        broken.reached = reached;
        DescribedDisplay display(broken, {2, 4});
        EXPECT_EQ(chooseMultisample(display, prefs), 0);
        EXPECT_EQ(store.readInteger(kSettingsSection, "Multisample", -1), 4);
        EXPECT_EQ(prefs.multisample(), 4);
        EXPECT_EQ(display.asked, std::vector<int>{0});
    }
}

TEST_F(GLSetupTest, EachUnusableDisplayEndsWithItsMessageAndOnlyAfterTheSlowDisplayQuestionWhenItIsTheContext) {
    const auto with = [](DisplayFacts facts, auto change) {
        change(facts);
        return facts;
    };
    const struct {
        const char* display;
        DisplayFacts facts;
        std::string error;
        std::vector<std::string> shownBefore;
    } cases[] = {
        {"no format", with(software(), [](DisplayFacts& f) { f.reached = Step::None; }),
         "could not check pixel format descriptor.", {}},
        {"no GL", with(software(), [](DisplayFacts& f) { f.openGL = false; }),
         "OpenGL not supported by the display.", {}},
        {"no RGBA", with(software(), [](DisplayFacts& f) { f.rgba = false; }),
         "could not initialize 32-bit color display.", {}},
        // The format's faults come before any warning is shown.
        {"single buffer", with(software(), [](DisplayFacts& f) { f.doubleBuffered = false; }),
         "the display does not support double-buffering.", {}},
        {"format not set", with(hardware(), [](DisplayFacts& f) { f.reached = Step::FormatDescribed; }),
         "could not set device pixel format.", {}},
        // Without a context nothing tells of software drawing, but a low depth still warns first.
        {"no context, 16 bits", with(hardware(), [](DisplayFacts& f) {
             f.reached = Step::FormatSet;
             f.redBits = f.blueBits = 5;
             f.greenBits = 6;
             f.alphaBits = 0;
         }),
         "could not create display context.", {"warning: " + kSlow + kLowDepth + kContinue}},
        {"not current", with(hardware(), [](DisplayFacts& f) {
             f.reached = Step::ContextCreated;
             f.extensions.clear();
         }),
         "could not activate display context.", {}},
        {"no BGRA", with(hardware(), [](DisplayFacts& f) { f.extensions = "GL_EXT_bgra_x GL_ARB_bgra"; }),
         "BGRA pixel format not supported.", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        ScriptedPrompt prompt(true, false);
        preferences.setAskedOptimizeVideoSettings(true);
        try {
            checkDisplay(c.facts, true, preferences, prompt);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Error initializing OpenGL: " + c.error);
        }
        // Neither the diagnostic box nor anything else follows the error.
        EXPECT_EQ(prompt.shown, c.shownBefore);
    }
}

TEST_F(GLSetupTest, ASlowDisplayAsksToGoOnAndThenOffersTheFasterSettingsOnce) {
    DisplayFacts lowDepth = hardware();
    lowDepth.alphaBits = 0;
    DisplayFacts both = software();
    both.redBits = both.blueBits = 5;
    both.greenBits = 6;
    const struct {
        const char* display;
        DisplayFacts facts;
        bool goOn, takeOffer, askedBefore, fastBefore;
        bool usable;
        std::vector<std::string> shown;
        bool fastAfter, syncAfter;
    } cases[] = {
        {"hardware", hardware(), true, true, false, false, true, {}, false, true},
        {"software, No", software(), false, true, false, false, false,
         {"warning: " + kSlow + kNotAccelerated + kContinue}, false, true},
        {"software, Yes, offer taken", software(), true, true, false, false, true,
         {"warning: " + kSlow + kNotAccelerated + kContinue, "question: " + kOffer}, true, false},
        {"software, Yes, offer declined", software(), true, false, false, false, true,
         {"warning: " + kSlow + kNotAccelerated + kContinue, "question: " + kOffer}, false, true},
        {"both warnings", both, true, true, false, false, true,
         {"warning: " + kSlow + kNotAccelerated + kLowDepth + kContinue, "question: " + kOffer}, true, false},
        {"low alpha, asked before", lowDepth, true, true, true, false, true,
         {"warning: " + kSlow + kLowDepth + kContinue}, false, true},
        {"software, fast already", software(), true, true, false, true, true,
         {"warning: " + kSlow + kNotAccelerated + kContinue}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        MemorySettingsStore fresh;
        UserPreferences prefs(fresh, PreferencesEnvironment::ofProcess());
        prefs.setAskedOptimizeVideoSettings(c.askedBefore);
        prefs.setFasterLowerQualityExpressorDrawing(c.fastBefore);
        ScriptedPrompt prompt(c.goOn, c.takeOffer);
        EXPECT_EQ(checkDisplay(c.facts, false, prefs, prompt), c.usable);
        EXPECT_EQ(prompt.shown, c.shown);
        EXPECT_EQ(prefs.fasterLowerQualityExpressorDrawing(), c.fastAfter);
        EXPECT_EQ(prefs.verticalSync(), c.syncAfter);
        EXPECT_EQ(fresh.readInteger(kSettingsSection, "VerticalSync", 1), c.syncAfter ? 1 : 0);
    }

    // Once asked, never again for this user, whatever the answer and in whichever run.
    ScriptedPrompt first(true, false);
    EXPECT_TRUE(checkDisplay(software(), false, preferences, first));
    EXPECT_EQ(first.shown.size(), 2u);
    EXPECT_EQ(store.readInteger(kSettingsSection, "AskedOptimizeVideoSettings", 0), 1);
    UserPreferences nextRun(store, PreferencesEnvironment::ofProcess());
    ScriptedPrompt second(true, true);
    EXPECT_TRUE(checkDisplay(software(), false, nextRun, second));
    EXPECT_EQ(second.shown, std::vector<std::string>{"warning: " + kSlow + kNotAccelerated + kContinue});
    EXPECT_FALSE(nextRun.fasterLowerQualityExpressorDrawing());
}

TEST_F(GLSetupTest, TheDiagnosticBoxComesLastAndOnlyWhenAsked) {
    for (const bool asked : {false, true}) {
        SCOPED_TRACE(asked);
        MemorySettingsStore fresh;
        UserPreferences prefs(fresh, PreferencesEnvironment::ofProcess());
        ScriptedPrompt prompt(true, false);
        EXPECT_TRUE(checkDisplay(software(), asked, prefs, prompt));
        ASSERT_EQ(prompt.shown.size(), asked ? 3u : 2u);
        EXPECT_EQ(prompt.shown[0].rfind("warning: ", 0), 0u);
        EXPECT_EQ(prompt.shown[1], "question: " + kOffer);
        if (!asked) continue;
        static const std::regex box("inform: Diagnostic\n\nMesa\nllvmpipe \\(LLVM 15\\.0\\.6, 256 bits\\)\n"
                                    "Version: 4\\.6 Compatibility\nSystem memory: ([0-9]+)/([0-9]+) MB");
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(prompt.shown[2], parts, box)) << prompt.shown[2];
        EXPECT_GT(std::stoll(parts[2]), 0);
        EXPECT_LE(std::stoll(parts[1]), std::stoll(parts[2]));
    }
}

} // namespace
} // namespace volumira

#include "app/GLSetup.h"

#include "app/Prompt.h"
#include "preferences/UserPreferences.h"

#include <algorithm>
#include <stdexcept>
#include <unistd.h>

namespace volumira {

int effectiveSamples(int requested, int maximum) {
    if (requested <= 1) return 0;
    const int effective = std::min(requested, std::max(maximum, 0));
    return effective - effective % 2;
}

bool offersSamples(const DisplayFacts& probed, int samples) {
    if (probed.reached != DisplayFacts::Step::ContextCurrent) return false;
    if (samples <= 0) return true;
    // The window system falls back to a lesser format rather than fail: what it picked must still
    // have everything the view asks for.
    return probed.samples >= samples && probed.openGL && probed.rgba && probed.doubleBuffered &&
           probed.redBits >= 8 && probed.greenBits >= 8 && probed.blueBits >= 8 && probed.alphaBits >= 8 &&
           probed.depthBits >= 16;
}

int chooseMultisample(DisplayOffer& display, UserPreferences& preferences) {
    // Without even a plain context there is nothing to learn; the preference is kept for a display that
    // has one.
    if (!offersSamples(display.probe(0), 0)) return 0;
    int maximum = 0;
    for (const int samples : {6, 4, 2}) {
        if (offersSamples(display.probe(samples), samples)) {
            maximum = samples;
            break;
        }
    }
    const int effective = effectiveSamples(preferences.multisample(), maximum);
    preferences.setMaxMultisample(maximum);
    preferences.setMultisample(effective);
    return effective;
}

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("Error initializing OpenGL: " + what);
}

bool hasExtension(const std::string& list, const std::string& name) {
    std::size_t at = 0;
    while ((at = list.find(name, at)) != std::string::npos) {
        const std::size_t end = at + name.size();
        if ((at == 0 || list[at - 1] == ' ') && (end == list.size() || list[end] == ' ')) return true;
        at = end;
    }
    return false;
}

// The window system does not say whether a format is drawn in software; the renderer's name does.
bool isSoftware(const DisplayFacts& facts) {
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (facts.renderer.find(name) != std::string::npos) return true;
    return false;
}

} // namespace

std::string slowDisplayQuestion(const std::vector<std::string>& warnings) {
    std::string text = "Warning: it is likely this application will not run at a usable speed.\n\n";
    for (const std::string& w : warnings)
        text += w + "\n";
    return text + "\nDo you want to continue?";
}

bool checkDisplay(const DisplayFacts& facts, bool showDiagnostic, UserPreferences& preferences, Prompt& prompt) {
    using Step = DisplayFacts::Step;
    if (facts.reached < Step::FormatDescribed) fail("could not check pixel format descriptor.");
    if (!facts.openGL) fail("OpenGL not supported by the display.");
    std::vector<std::string> warnings;
    if (isSoftware(facts)) warnings.push_back("The display is not hardware accelerated.");
    if (!facts.rgba) fail("could not initialize 32-bit color display.");
    if (facts.redBits + facts.greenBits + facts.blueBits < 24 || facts.alphaBits < 8)
        warnings.push_back(
            "The display bit depth is too low. Please set the display to 32 bits per pixel (millions of colors).");
    if (!facts.doubleBuffered) fail("the display does not support double-buffering.");
    if (!warnings.empty()) {
        if (!prompt.askWarning(slowDisplayQuestion(warnings))) return false;
        offerFasterVideoSettings(preferences, prompt);
    }
    if (facts.reached < Step::FormatSet) fail("could not set device pixel format.");
    if (facts.reached < Step::ContextCreated) fail("could not create display context.");
    if (facts.reached < Step::ContextCurrent) fail("could not activate display context.");
    // BGRA uploads are core since GL 1.2; the extension name is still what drivers list.
    if (!hasExtension(facts.extensions, "GL_EXT_bgra")) fail("BGRA pixel format not supported.");
    if (showDiagnostic) prompt.inform(diagnosticText(facts));
    return true;
}

void offerFasterVideoSettings(UserPreferences& preferences, Prompt& prompt) {
    if (preferences.askedOptimizeVideoSettings() || preferences.fasterLowerQualityExpressorDrawing()) return;
    preferences.setAskedOptimizeVideoSettings(true);
    if (prompt.askQuestion("Volumira can optimize its video settings for a better frame rate. However, it will "
                           "need to downgrade the visual quality of the 3D scene. You can readjust the settings at "
                           "any time from the Options item in the View menu.\n\nDo you want Volumira to adjust its "
                           "video settings for frame rate?")) {
        preferences.setFasterLowerQualityExpressorDrawing(true);
        preferences.setVerticalSync(false);
    }
}

std::string diagnosticText(const DisplayFacts& facts) {
    const long pageSize = sysconf(_SC_PAGESIZE);
    const long long available = static_cast<long long>(sysconf(_SC_AVPHYS_PAGES)) * pageSize / (1024 * 1024);
    const long long total = static_cast<long long>(sysconf(_SC_PHYS_PAGES)) * pageSize / (1024 * 1024);
    return "Diagnostic\n\n" + facts.vendor + "\n" + facts.renderer + "\nVersion: " + facts.version +
           "\nSystem memory: " + std::to_string(available) + "/" + std::to_string(total) + " MB";
}

} // namespace volumira

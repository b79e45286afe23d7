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

namespace {

bool hasExtension(const std::string& list, const std::string& name) {
    std::size_t at = 0;
    while ((at = list.find(name, at)) != std::string::npos) {
        const std::size_t end = at + name.size();
        if ((at == 0 || list[at - 1] == ' ') && (end == list.size() || list[end] == ' ')) return true;
        at = end;
    }
    return false;
}

bool isSoftware(const DisplayFacts& facts) {
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (facts.renderer.find(name) != std::string::npos) return true;
    return false;
}

} // namespace

void checkDisplay(const DisplayFacts& facts) {
    if (!facts.doubleBuffered)
        throw std::runtime_error("Error initializing OpenGL: the display does not support double-buffering.");
    // BGRA uploads are core since GL 1.2; the extension name is still what drivers list.
    if (!hasExtension(facts.extensions, "GL_EXT_bgra"))
        throw std::runtime_error("Error initializing OpenGL: BGRA pixel format not supported.");
}

std::vector<std::string> displayWarnings(const DisplayFacts& facts) {
    std::vector<std::string> warnings;
    if (isSoftware(facts)) warnings.push_back("The display is not hardware accelerated.");
    if (facts.redBits + facts.greenBits + facts.blueBits < 24 || facts.alphaBits < 8)
        warnings.push_back(
            "The display bit depth is too low. Please set the display to 32 bits per pixel (millions of colors).");
    return warnings;
}

std::string slowDisplayQuestion(const std::vector<std::string>& warnings) {
    std::string text = "Warning: it is likely this application will not run at a usable speed.\n\n";
    for (const std::string& w : warnings)
        text += w + "\n";
    return text + "\nDo you want to continue?";
}

bool confirmSlowDisplay(const DisplayFacts& facts, UserPreferences& preferences, Prompt& prompt) {
    const std::vector<std::string> warnings = displayWarnings(facts);
    if (warnings.empty()) return true;
    if (!prompt.askWarning(slowDisplayQuestion(warnings))) return false;
    offerFasterVideoSettings(preferences, prompt);
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

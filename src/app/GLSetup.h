#pragma once

// The checks and choices made when a view's GL context is set up, apart from the window system so that
// they can be tested without a display.

#include <string>
#include <vector>

namespace volumira {

class Prompt;
class UserPreferences;

// What setting up a context on the display showed.
struct DisplayFacts {
    // How far the set-up went; each step needs the ones before it.
    enum class Step { None, FormatDescribed, FormatSet, ContextCreated, ContextCurrent };
    Step reached = Step::ContextCurrent;
    // The format the display picked for the request.
    bool openGL = true;
    bool rgba = true;
    int redBits = 8, greenBits = 8, blueBits = 8, alphaBits = 8, depthBits = 16;
    bool doubleBuffered = true;
    // The samples per pixel the view's drawing really gets when it asks for the probe's count.
    int samples = 0;
    // What GL says about itself once the context is current.
    std::string vendor, renderer, version, extensions;
};

// What the display offers a view. The window-system side answers with real probe contexts; tests
// describe a display.
class DisplayOffer {
  public:
    virtual ~DisplayOffer() = default;
    // Sets up a hidden window, surface and context with the view's format, asking for this many samples
    // per pixel (0: no multisampling), and reports what came of it.
    virtual DisplayFacts probe(int samples) = 0;
};

// The multisample count to use: a request of 1 counts as none, no more than the display offers, and an
// odd count uses the next lower even one.
int effectiveSamples(int requested, int maximum);
// Whether a probe for this many samples found a usable format: a current context and, with
// multisampling, at least that many samples with full colour, alpha, depth and double buffering.
bool offersSamples(const DisplayFacts& probed, int samples);
// The largest of 6, 4 and 2 samples that the display offers, or 0; stored as the maximum in the
// preferences, which also get the count to use (effectiveSamples of the preferred one), which is
// returned. A display without any usable context leaves the preferences as they are and gets 0.
int chooseMultisample(DisplayOffer& display, UserPreferences& preferences);

// The question asked when the display is likely to be slow.
std::string slowDisplayQuestion(const std::vector<std::string>& warnings);
// Judges the display a view's context was set up on, in this order: the format (an unusable one throws
// std::runtime_error with the user's message), the warnings of a slow display (false when the user
// declines to go on; going on may offer the faster settings), the context (throws when it could not be
// made or lacks BGRA textures) and, when asked, the diagnostic box.
bool checkDisplay(const DisplayFacts& facts, bool showDiagnostic, UserPreferences& preferences, Prompt& prompt);
// Offers, once per user and only while quality drawing is on, to trade picture quality for speed.
void offerFasterVideoSettings(UserPreferences& preferences, Prompt& prompt);
// The text of the diagnostic box.
std::string diagnosticText(const DisplayFacts& facts);

} // namespace volumira

#pragma once

// The checks and choices made when a view's GL context is set up, apart from the window system so that
// they can be tested without a display.

#include <string>
#include <vector>

namespace volumira {

class Prompt;
class UserPreferences;

struct DisplayFacts {
    std::string vendor, renderer, version, extensions;
    int redBits = 8, greenBits = 8, blueBits = 8, alphaBits = 8;
    bool doubleBuffered = true;
};

// The multisample count to use: a request of 1 counts as none, no more than the display offers, and an
// odd count uses the next lower even one.
int effectiveSamples(int requested, int maximum);

// Throws std::runtime_error with the user's message for a display the views cannot use at all.
void checkDisplay(const DisplayFacts& facts);
// The reasons to expect a slow picture: software rendering, a low bit depth.
std::vector<std::string> displayWarnings(const DisplayFacts& facts);
// The question asked when there are warnings.
std::string slowDisplayQuestion(const std::vector<std::string>& warnings);
// Asks the slow-display question when there are warnings; false when the user declines to go on.
// Going on may offer the faster settings.
bool confirmSlowDisplay(const DisplayFacts& facts, UserPreferences& preferences, Prompt& prompt);
// Offers, once per user and only while quality drawing is on, to trade picture quality for speed.
void offerFasterVideoSettings(UserPreferences& preferences, Prompt& prompt);
// The text of the diagnostic box.
std::string diagnosticText(const DisplayFacts& facts);

} // namespace volumira

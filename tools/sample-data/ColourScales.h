#pragma once

#include <string>

namespace volumira::sample {

// The colour map files, as text: 256 lines of "red green blue".

// Indexed by structure index: each structure's own colour; white outside the brain (label 0),
// the empty-slot grey elsewhere.
std::string atlasColourMapText();
// Expression levels as a heat scale: black, dark red, red, orange, yellow, white.
std::string heatColourMapText();
// Expression levels on the jet scale; the lowest levels are black, so they are not drawn.
std::string jetColourMapText();

} // namespace volumira::sample

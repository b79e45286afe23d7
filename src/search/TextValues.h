#pragma once

// Values read from the server's responses and from gene list files. Numbers are read from leading blanks,
// an optional sign and the digits that follow; whatever comes after is ignored, and no digits read as 0.

#include <string_view>

namespace volumira {

// Clamped to the int range instead of overflowing.
int leadingInteger(std::string_view text);
// A decimal number such as "0.875" or "-1e-3"; 0 when the text does not start with one.
float leadingFloat(std::string_view text);
// ASCII letters compared without case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace volumira

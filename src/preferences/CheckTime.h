#pragma once

// The stored time of the last version check: local time as "%H:%M:%S %b %d, %Y" with English month
// names whatever the locale, so that a value written under one language still reads under another.

#include <ctime>
#include <optional>
#include <string>

namespace volumira {

// For example "14:05:09 Mar 07, 2008".
std::string formatCheckTime(std::time_t time);
// nullopt when the text is not exactly that form, names no real date and time, or cannot be converted.
std::optional<std::time_t> parseCheckTime(const std::string& text);

} // namespace volumira

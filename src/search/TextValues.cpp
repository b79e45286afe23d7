#include "search/TextValues.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace volumira {

namespace {

std::string_view skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    return text.substr(i);
}

} // namespace

int leadingInteger(std::string_view text) {
    text = skipBlanks(text);
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    // Accumulated as a negative number so that the int minimum fits.
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        if (value < kLimit) value = value * 10 + (text[i] - '0');
    if (negative) return value >= kLimit ? std::numeric_limits<int>::min() : static_cast<int>(-value);
    return value >= kLimit ? std::numeric_limits<int>::max() : static_cast<int>(value);
}

float leadingFloat(std::string_view text) {
    // from_chars, unlike strtof, ignores the locale: a German desktop must not read "0.5" as 0.
    text = skipBlanks(text);
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    float value = 0.0f;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0f;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace volumira

#pragma once

#include <string>
#include <string_view>

namespace volumira {

// Appends in to out with the five XML special characters (" & ' < >) written as entities; every other
// byte, UTF-8 sequences included, is copied unchanged.
void escapeXml(std::string_view in, std::string& out);

// The escaped text of in.
std::string escapeXml(std::string_view in);

} // namespace volumira

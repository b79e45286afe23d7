#include "preferences/ProgramVersion.h"

#include "preferences/Version.h"

#include <cctype>
#include <climits>
#include <sys/utsname.h>

namespace volumira {

namespace {

// Reads decimal digits at pos; nullopt when there are none or the number does not fit an int.
std::optional<int> readNumber(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    long long value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos] - '0');
        if (value > INT_MAX) return std::nullopt;
        ++pos;
    }
    if (pos == start) return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

ProgramVersion builtProgramVersion() {
    return {build::kVersionMajor, build::kVersionMinor, build::kVersionPatch, build::kVersionBuild};
}

std::string versionText(const ProgramVersion& version) {
    std::string text = std::to_string(version.majorNumber) + "." + std::to_string(version.minorNumber);
    if (version.patchNumber != 0) text += "." + std::to_string(version.patchNumber);
    return text;
}

std::optional<KernelVersion> parseKernelRelease(const std::string& release) {
    std::size_t pos = 0;
    const auto majorNumber = readNumber(release, pos);
    if (!majorNumber || pos >= release.size() || release[pos] != '.') return std::nullopt;
    ++pos;
    const auto minorNumber = readNumber(release, pos);
    if (!minorNumber) return std::nullopt;
    return KernelVersion{*majorNumber, *minorNumber};
}

std::optional<KernelVersion> runningKernelVersion() {
    utsname name{};
    if (uname(&name) != 0) return std::nullopt;
    return parseKernelRelease(name.release);
}

std::string userAgentText(const ProgramVersion& version, const std::optional<KernelVersion>& kernel) {
    if (!kernel) return "Volumira";
    return "Volumira/" + versionText(version) + " (Linux " + std::to_string(kernel->majorNumber) + "." +
           std::to_string(kernel->minorNumber) + ") VL/" + std::to_string(version.buildNumber);
}

} // namespace volumira

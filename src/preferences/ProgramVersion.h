#pragma once

// The program's version and build number and the User-Agent text that carries them.

#include <optional>
#include <string>

namespace volumira {

// A file version a.b.c.d.
struct ProgramVersion {
    int majorNumber = 1;
    int minorNumber = 0;
    int patchNumber = 0;
    int buildNumber = 1;
};

// The version this program was built as (the CMake project version).
ProgramVersion builtProgramVersion();

// "a.b", followed by ".c" when c is not zero.
std::string versionText(const ProgramVersion& version);

struct KernelVersion {
    int majorNumber = 0;
    int minorNumber = 0;
};

// The leading "major.minor" of a kernel release such as "6.1.0-18-amd64"; nullopt when it has none.
std::optional<KernelVersion> parseKernelRelease(const std::string& release);
// The running kernel's version from uname; nullopt when it cannot be read.
std::optional<KernelVersion> runningKernelVersion();

// "Volumira/<version> (Linux <major>.<minor>) VL/<build>", or just "Volumira" without a kernel version.
std::string userAgentText(const ProgramVersion& version, const std::optional<KernelVersion>& kernel);

} // namespace volumira

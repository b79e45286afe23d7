#pragma once

// Every reader of untrusted bytes, as a function of those bytes. The libFuzzer programs call one each;
// the replay test calls them on the inputs that once crashed or hung them, so that a return of the fault
// fails in an ordinary build. A harness lets through only what the program would not survive: errors the
// reader reports as such are caught.

#include <cstdint>
#include <span>
#include <string_view>

namespace volumira::fuzz {

using Harness = void (*)(std::span<const std::uint8_t> bytes);

struct Target {
    std::string_view name;
    Harness run;
};

std::span<const Target> targets();
const Target* findTarget(std::string_view name);

} // namespace volumira::fuzz

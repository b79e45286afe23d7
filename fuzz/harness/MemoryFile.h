#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace volumira::fuzz {

// An in-memory file for readers that take a path: the fuzzer stays off the disk. Each call replaces the
// content of the one file of its slot and returns the file's path.
std::string memoryFile(std::span<const std::uint8_t> bytes, int slot = 0);

} // namespace volumira::fuzz

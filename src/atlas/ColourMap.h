#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace volumira {

// A table of 256 RGB colours read from a ".map" text file; all black until loaded.
class ColourMap {
  public:
    static constexpr int kEntryCount = 256;

    // Reads 256 entries of three integers, keeping the low byte of each. Throws std::runtime_error with the
    // user-visible message; on failure the map keeps what it held before.
    void load(const std::string& path);

    // Red, green and blue of entry i (0..255); throws std::invalid_argument outside that range.
    std::array<std::uint8_t, 3> colour(int i) const;
    // The lowest index above 0 whose entry is not black, 0 when there is none.
    int firstColourIndex() const { return firstColourIndex_; }
    // Entry i's channel c is at i * 3 + c.
    const std::array<std::uint8_t, kEntryCount * 3>& data() const { return entries_; }

  private:
    std::array<std::uint8_t, kEntryCount * 3> entries_{};
    int firstColourIndex_ = 0;
};

} // namespace volumira

#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace volumira {

// 256 bits, one per structure order number, so that "is this structure inside the chosen region"
// is a handful of word operations.
class StructureSet {
  public:
    static constexpr int kBitCount = 256;

    StructureSet() = default;
    static StructureSet full() {
        StructureSet s;
        s.words_.fill(~std::uint64_t{0});
        return s;
    }

    void set(int bit, bool on = true) {
        checkRange(bit);
        const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
        if (on)
            words_[bit / 64] |= mask;
        else
            words_[bit / 64] &= ~mask;
    }
    bool contains(int bit) const {
        checkRange(bit);
        return (words_[bit / 64] >> (bit % 64)) & 1u;
    }
    bool intersects(const StructureSet& other) const {
        for (std::size_t w = 0; w < words_.size(); ++w)
            if (words_[w] & other.words_[w]) return true;
        return false;
    }
    void unite(const StructureSet& other) {
        for (std::size_t w = 0; w < words_.size(); ++w)
            words_[w] |= other.words_[w];
    }
    bool empty() const { return words_ == std::array<std::uint64_t, 4>{}; }

    // Bit b lives in word b / 64 at position b mod 64.
    const std::array<std::uint64_t, 4>& words() const { return words_; }

    friend bool operator==(const StructureSet&, const StructureSet&) = default;

  private:
    static void checkRange(int bit) {
        if (bit < 0 || bit >= kBitCount)
            throw std::invalid_argument("Structure set bit out of range: " + std::to_string(bit));
    }

    std::array<std::uint64_t, 4> words_{};
};

} // namespace volumira

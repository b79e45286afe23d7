#pragma once

#include "storage/GeneExpressionCache.h"

#include <map>
#include <vector>

namespace volumira {

// Keeps expression files in memory for the run. The level is not part of the key: an id holds at most one
// file, of one id type, and storing another type replaces it.
class MemoryGeneExpressionCache : public GeneExpressionCache {
  public:
    void store(std::int32_t id, std::int32_t level, std::int32_t type, const void* data,
               std::size_t length) override;
    bool retrieve(std::int32_t id, std::int32_t level, std::int32_t type, MemoryStream& out) override;
    void remove(std::int32_t id, std::int32_t level, std::int32_t type) override;
    void clean() override;

    // Looks without counting as an access.
    bool contains(std::int32_t id, std::int32_t type) const;
    std::uint64_t total() const { return total_; }

  private:
    struct Entry {
        std::uint64_t lastAccess = 0;
        std::int32_t type = 0;
        std::vector<std::uint8_t> bytes;
    };

    std::map<std::int32_t, Entry> entries_;
    std::uint64_t total_ = 0;
    // Access order, not clock time: entries touched within the same second must still be told apart.
    std::uint64_t accessCounter_ = 0;
};

} // namespace volumira

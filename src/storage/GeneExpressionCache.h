#pragma once

#include <cstddef>
#include <cstdint>

namespace volumira {

class MemoryStream;

// What the id of a cached expression file means.
enum GeneExpressionIdType : std::int32_t {
    kImageSeriesId = 0,
    kExperimentId = 1,
    kGeneId = 2,
};

// Downloaded expression grid files, keyed by id and id type.
class GeneExpressionCache {
  public:
    virtual ~GeneExpressionCache() = default;
    virtual void store(std::int32_t id, std::int32_t level, std::int32_t type, const void* data,
                       std::size_t length) = 0;
    // Sizes `out` to the file, copies it in and rewinds it; false, with `out` untouched, when not held.
    virtual bool retrieve(std::int32_t id, std::int32_t level, std::int32_t type, MemoryStream& out) = 0;
    virtual void remove(std::int32_t id, std::int32_t level, std::int32_t type) = 0;
    virtual void clean() = 0;
};

} // namespace volumira

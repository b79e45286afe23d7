#include "scene/ScenePick.h"

#include "atlas/Ontology.h"

#include <limits>

namespace volumira {

int choosePickName(const std::vector<std::uint32_t>& buffer, int hits, bool transparent, const Ontology& ontology) {
    constexpr std::uint32_t kFar = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t structureMin = kFar, structureMax = kFar, otherMin = kFar, otherMax = kFar;
    int structureName = 0, otherName = 0;
    std::size_t at = 0;
    // An overflowed buffer reports a negative count: walk what it holds.
    const int records = hits < 0 ? std::numeric_limits<int>::max() : hits;
    for (int h = 0; h < records && at + 3 <= buffer.size(); ++h) {
        const std::uint32_t count = buffer[at], minDepth = buffer[at + 1], maxDepth = buffer[at + 2];
        at += 3;
        if (count > buffer.size() - at) break;
        for (std::uint32_t k = 0; k < count; ++k, ++at) {
            const int name = static_cast<int>(buffer[at]);
            const bool nearer = [&](std::uint32_t bestMin, std::uint32_t bestMax) {
                return minDepth < bestMin || (minDepth == bestMin && maxDepth <= bestMax);
            }(name >= pickname::kStructureBase && name < pickname::kCellBase ? structureMin : otherMin,
              name >= pickname::kStructureBase && name < pickname::kCellBase ? structureMax : otherMax);
            if (name >= pickname::kStructureBase && name < pickname::kCellBase) {
                const int label = name - pickname::kStructureBase;
                bool inner = false;
                if (transparent && structureName != 0) {
                    const auto& best = ontology.structureAt(structureName - pickname::kStructureBase);
                    inner = ontology.structureAt(label).ancestorSet.intersects(best.selfSet);
                }
                if (inner || nearer) {
                    structureName = name;
                    structureMin = minDepth;
                    structureMax = maxDepth;
                }
            } else if (name > 0 && nearer) {
                otherName = name;
                otherMin = minDepth;
                otherMax = maxDepth;
            }
        }
    }
    if (transparent) return otherName != 0 ? otherName : structureName;
    if (otherName == 0) return structureName;
    if (structureName == 0) return otherName;
    return otherMin < structureMin ? otherName : structureName;
}

} // namespace volumira

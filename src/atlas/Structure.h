#pragma once

#include "atlas/StructureSet.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace volumira {

// One of the ontology's 256 slots. The defaults are those of a slot that no line of the file names,
// which is also what "No Annotation" (slot 0) looks like.
struct Structure {
    std::string name = "No Annotation";
    std::string acronym = "NA";
    std::uint8_t red = 220, green = 220, blue = 220;
    // The annotation value that selects this structure.
    std::uint8_t index = 0;
    std::int32_t id = -1;
    const Structure* parent = nullptr;
    // Direct children in ascending index.
    std::vector<const Structure*> children;
    // 1-based line number in the ontology file; 0 for slots the file does not name.
    std::int32_t order = 0;
    StructureSet selfSet;
    // Own bit and the bits of every ancestor.
    StructureSet ancestorSet;
    // Own bit and the bits of every descendant.
    StructureSet subtreeSet;
    // The bits of the direct children only.
    StructureSet childSet;
    // Where the view centres on the structure, in scene coordinates.
    std::array<float, 3> centre{0.0f, 0.0f, 0.0f};
};

} // namespace volumira

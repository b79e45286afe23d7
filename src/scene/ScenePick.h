#pragma once

#include <cstdint>
#include <vector>

namespace volumira {

class Ontology;

// Picking names of the scene: clip faces 1-6, section planes 7-9, structures from 10 (name - 10 is the
// annotation label), expression cells from 266.
namespace pickname {
constexpr int kClipLowFirst = 1;
constexpr int kClipHighFirst = 4;
constexpr int kSectionFirst = 7;
constexpr int kStructureBase = 10;
constexpr int kCellBase = 266;
} // namespace pickname

// Chooses the picked name from a GL selection buffer: the nearest hit, where in transparent mode a
// structure inside the best one so far wins whatever its depth and any plane or cell beats structures.
// 0 when nothing usable was hit. hits is the count glRenderMode returned; a negative count (overflow)
// is read as far as the buffer holds.
int choosePickName(const std::vector<std::uint32_t>& buffer, int hits, bool transparent, const Ontology& ontology);

} // namespace volumira

#pragma once

#include <cstdint>
#include <random>

namespace volumira {

class ColourMap;
class GeneExpression;

// Rasterises the threshold plot of a gene into a 150 × 150 blue-green-red-alpha buffer, rows top first:
// one point per cell (expressor count across, level up) in its structure's colour, and the table's
// colour scale in columns 0 to 3. Where points of different structures overlap, a coin toss decides
// which colour stays, so the mix shows.
void rasterThresholdPlot(const GeneExpression& gene, const ColourMap& table, int baseLevel,
                         std::uint8_t* pixels, std::minstd_rand& random);

} // namespace volumira

#pragma once

// The cell filter and the level tables are the expression model's; drawing code finds them here too.
#include "expression/CellFilter.h"

#include <array>

namespace volumira {

class ColourMap;
struct ExpressionCell;
struct Structure;

// Expressor scale: 20 or more expressors give 1, none gives 0.
float expressorSize(const ExpressionCell& cell);

// Structures named by the ontology file; the unannotated slot and unnamed slots are not.
bool isSelectableStructure(const Structure& structure);

// Per-cell colour decisions of one structure group while building: a colour is issued only when the
// integer level changes from one cell to the next, and the decision stands for equal levels.
class ExpressorColourer {
  public:
    ExpressorColourer(int mode, bool fast, const ColourMap* table, const std::array<float, 3>& geneColour);

    void startGroup(const Structure* structure);
    // False when the cell is not drawn. `colourChanged` is set when `colour()` must be issued before it.
    bool decide(float level, bool& colourChanged);
    const std::array<float, 3>& colour() const { return colour_; }

  private:
    int mode_;
    bool fast_;
    const ColourMap* table_;
    std::array<float, 3> geneColour_;
    std::array<float, 3> structureColour_{};
    std::array<float, 3> colour_{};
    int lastLevel_ = -1;
    bool visible_ = true;
};

// The colour of a structure, each channel 0..1.
std::array<float, 3> structureColour(const Structure& structure);

} // namespace volumira

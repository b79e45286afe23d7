#pragma once

#include <array>

namespace volumira {

class BrainExpressionModel;

// The clipping box: its six faces drawn as green outlines or, for picking, as named quads, and the user
// clip planes that cut the structures and the expression to it.
class CuttingPlaneRenderer {
  public:
    // dimensions: the scene grid (the model's coarse grid).
    CuttingPlaneRenderer(const BrainExpressionModel& model, const std::array<int, 3>& dimensions);

    // Faces in the order low 1, high 1, low 0, high 0, low 2, high 2; the low face of axis i is named
    // nameBase + i, the high face nameBase + 3 + i.
    void drawClipBox(bool pick, int nameBase);

    // On: user clip plane 2i keeps coordinate i at or above low + 0.1 when low >= 1, plane 2i + 1 keeps
    // it at or below high - 0.1 when high < dimension - 1 (faces on the volume's boundary clip nothing).
    // The equations take the current model-view. Off: all six planes disabled.
    void setClipPlanes(bool on);

  private:
    void drawFace(int axis, bool low, bool pick, int name);
    const BrainExpressionModel& model_;
    std::array<int, 3> dimensions_;
};

} // namespace volumira

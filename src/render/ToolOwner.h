#pragma once

namespace volumira {

class BrainExpressionModel;

// What the mouse tools ask of the scene that forwards drags to them.
class ToolOwner {
  public:
    virtual ~ToolOwner() = default;
    // Starts or stops the scene's animation timer.
    virtual void spin(bool on) = 0;
    // Moves the picture by a pixel offset, x to the right, y upwards.
    virtual void pan(int dx, int dy) = 0;
    virtual BrainExpressionModel& model() = 0;
};

} // namespace volumira

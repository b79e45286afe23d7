#pragma once

#include "render/MouseListener.h"

namespace volumira {

class ToolOwner;

// Drags the picture: each motion pans the owner by the pointer's offset (x to the right, y upwards).
class PanMouseTool : public MouseListener {
  public:
    void setOwner(ToolOwner* owner) { owner_ = owner; }
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;

  private:
    ToolOwner* owner_ = nullptr;
    int lastX_ = 0, lastY_ = 0;
};

} // namespace volumira

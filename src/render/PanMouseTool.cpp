#include "render/PanMouseTool.h"

#include "render/ToolOwner.h"

namespace volumira {

bool PanMouseTool::mouseDown(int, int x, int y, int, std::uint32_t) {
    lastX_ = x;
    lastY_ = y;
    return true;
}

bool PanMouseTool::mouseMove(int x, int y, int, std::uint32_t) {
    if (owner_) owner_->pan(x - lastX_, lastY_ - y);
    lastX_ = x;
    lastY_ = y;
    return true;
}

} // namespace volumira

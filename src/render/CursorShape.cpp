#include "render/CursorShape.h"

namespace volumira {

namespace {
CursorShapeHandler* cursorHandler = nullptr;
}

void setCursorShapeHandler(CursorShapeHandler* handler) {
    cursorHandler = handler;
}

CursorShapeHandler* cursorShapeHandler() {
    return cursorHandler;
}

void setCursorShape(int code) {
    if (!cursorHandler || code < kCursorArrow || code > kCursorSizeAll) return;
    cursorHandler->applyCursorShape(static_cast<CursorShape>(code));
}

} // namespace volumira

#pragma once

namespace volumira {

enum CursorShape : int {
    kCursorArrow = 0,
    kCursorCross = 1,
    kCursorSizeNS = 2,
    kCursorSizeWE = 3,
    kCursorSizeNESW = 4,
    kCursorSizeNWSE = 5,
    kCursorSizeAll = 6
};

// Implemented by the window layer, which knows how to change the pointer.
class CursorShapeHandler {
  public:
    virtual ~CursorShapeHandler() = default;
    virtual void applyCursorShape(CursorShape shape) = 0;
};

// The process-wide handler (null = none, the default); not owned.
void setCursorShapeHandler(CursorShapeHandler* handler);
CursorShapeHandler* cursorShapeHandler();

// Sets the pointer shape by its code; codes outside 0..6, or no handler, do nothing.
void setCursorShape(int code);

} // namespace volumira

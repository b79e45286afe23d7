#pragma once

#include "render/GLContext.h"
#include "render/GLTextBox.h"

#include <functional>
#include <memory>

namespace volumira {

class TimerListener;

// The window a renderer draws into, as far as a renderer may touch it.
class GLDisplay : public GLContext {
  public:
    using ContextGrab = GLContext::Grab;

    // Identifier of the view's one timer.
    static constexpr int kViewTimerId = 1000;

    enum TextAlignment : int { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };

    virtual ~GLDisplay() = default;
    // Paints at once (make current, draw, swap) if the window is visible.
    virtual void redrawNow() = 0;
    // Schedules a paint through the event loop.
    virtual void requestRedraw() = 0;
    // Makes the context current (failure throws std::runtime_error "Error setting OpenGL context.") and
    // presents the back buffer.
    virtual void swapBuffers() = 0;
    virtual void setVerticalSync(bool on) = 0;
    // Until turned on, mouseMove is never delivered.
    virtual void setMouseMoveEvents(bool on) = 0;
    // The client size last reported to the renderer's resize.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Only while a mouse button is down, else std::logic_error
    // "The mouse can only be captured while a mouse button is down."
    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    // Replaces a running timer; a null listener is ignored.
    virtual void startTimer(int intervalMs, TimerListener* listener) = 0;
    virtual void stopTimer() = 0;
    // width in pixels; lines >= 1; smallFont picks the small 8-point face instead of the default GUI
    // font; alignment is a TextAlignment. The caller owns the box.
    virtual std::unique_ptr<GLTextBox> createTextBox(int width, int lines, bool smallFont, int alignment) = 0;
};

} // namespace volumira

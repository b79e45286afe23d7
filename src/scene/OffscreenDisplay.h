#pragma once

#include "render/GLDisplay.h"

#include <functional>

namespace volumira {

// The display of a renderer drawing into an offscreen framebuffer: no window, so redraws are the
// caller's business and timers never tick. Text boxes come from the factory given.
class OffscreenDisplay : public GLDisplay {
  public:
    using TextBoxFactory = std::function<std::unique_ptr<GLTextBox>(int width, int lines, bool smallFont, int alignment)>;

    OffscreenDisplay(int width, int height, TextBoxFactory factory)
        : width_(width), height_(height), factory_(std::move(factory)) {}

    void redrawNow() override {}
    void requestRedraw() override {}
    void swapBuffers() override {}
    bool makeCurrent() override { return true; }
    void setVerticalSync(bool) override {}
    void setMouseMoveEvents(bool) override {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    void captureMouse() override {}
    void releaseMouse() override {}
    void startTimer(int, TimerListener*) override {}
    void stopTimer() override {}
    std::unique_ptr<GLTextBox> createTextBox(int width, int lines, bool smallFont, int alignment) override {
        return factory_(width, lines, smallFont, alignment);
    }

  private:
    int width_, height_;
    TextBoxFactory factory_;
};

} // namespace volumira

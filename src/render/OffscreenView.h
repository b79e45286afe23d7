#pragma once

#include "render/GLDisplay.h"
#include "render/OffscreenContext.h"
#include "render/ViewEventRouter.h"

#include <functional>
#include <memory>
#include <string>

namespace volumira {

// A GL view without a window, for headless rendering and tests: renderers draw into an offscreen
// context, input and timer ticks are fed in through events() and fireTimer(), and paints requested for
// later run when processPendingPaint() is called.
class OffscreenView : public GLDisplay, private ViewHost {
  public:
    using TextBoxFactory =
        std::function<std::unique_ptr<GLTextBox>(int width, int lines, bool smallFont, int alignment)>;

    // textBoxes makes the text boxes renderers ask for; without one, createTextBox throws.
    OffscreenView(int width, int height, TextBoxFactory textBoxes = {});

    ViewEventRouter& events() { return router_; }
    OffscreenContext& context() { return context_; }

    // Runs a paint that requestRedraw asked for; false when none was pending.
    bool processPendingPaint();
    // Delivers a tick of the running timer; false when none runs.
    bool fireTimer();
    // The running timer's interval; 0 when none runs.
    int timerInterval() const { return timerRunning_ ? timerInterval_ : 0; }
    int framesPresented() const { return frames_; }
    const std::string& lastPaintError() const { return paintError_; }

    void redrawNow() override;
    void requestRedraw() override { paintPending_ = true; }
    void swapBuffers() override;
    bool makeCurrent() override;
    void setVerticalSync(bool) override {}
    void setMouseMoveEvents(bool on) override { router_.setMouseMoveEvents(on); }
    int width() const override { return router_.width(); }
    int height() const override { return router_.height(); }
    void captureMouse() override { router_.captureMouse(); }
    void releaseMouse() override { router_.releaseMouse(); }
    void startTimer(int intervalMs, TimerListener* listener) override {
        router_.startTimer(intervalMs, listener);
    }
    void stopTimer() override { router_.stopTimer(); }
    std::unique_ptr<GLTextBox> createTextBox(int width, int lines, bool smallFont, int alignment) override;

  private:
    void takeFocus() override {}
    void grabMouse() override {}
    void ungrabMouse() override {}
    void armLeaveNotification() override {}
    void presentFrame() override;
    void schedulePaint() override { paintPending_ = true; }
    void clientSize(int& width, int& height) const override;
    bool startPlatformTimer(int id, int intervalMs) override;
    void killPlatformTimer(int id) override;
    void showPaintError(const std::string& message) override { paintError_ = message; }

    OffscreenContext context_;
    ViewEventRouter router_{*this, *this};
    TextBoxFactory textBoxes_;
    bool paintPending_ = false;
    bool timerRunning_ = false;
    int timerInterval_ = 0;
    int frames_ = 0;
    std::string paintError_;
};

} // namespace volumira

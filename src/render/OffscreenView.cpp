#include "render/OffscreenView.h"

#include "render/GL.h"

#include <stdexcept>

namespace volumira {

OffscreenView::OffscreenView(int width, int height, TextBoxFactory textBoxes)
    : context_(width, height), textBoxes_(std::move(textBoxes)) {
    router_.resized(width, height);
}

bool OffscreenView::processPendingPaint() {
    if (!paintPending_) return false;
    paintPending_ = false;
    router_.paint();
    return true;
}

bool OffscreenView::fireTimer() {
    if (!timerRunning_) return false;
    router_.timer(ViewEventRouter::kViewTimerId);
    return true;
}

void OffscreenView::redrawNow() {
    paintPending_ = false;
    router_.paint();
}

void OffscreenView::swapBuffers() {
    if (!makeCurrent()) throw std::runtime_error("Error setting OpenGL context.");
    presentFrame();
}

bool OffscreenView::makeCurrent() {
    return context_.makeCurrent();
}

std::unique_ptr<GLTextBox> OffscreenView::createTextBox(int width, int lines, bool smallFont, int alignment) {
    if (!textBoxes_) throw std::logic_error("This offscreen view was made without text rendering.");
    return textBoxes_(width, lines, smallFont, alignment);
}

void OffscreenView::presentFrame() {
    glFinish(); // the framebuffer object is the front buffer: finishing is presenting
    ++frames_;
}

void OffscreenView::clientSize(int& width, int& height) const {
    width = context_.width();
    height = context_.height();
}

bool OffscreenView::startPlatformTimer(int, int intervalMs) {
    timerRunning_ = true;
    timerInterval_ = intervalMs;
    return true;
}

void OffscreenView::killPlatformTimer(int) {
    timerRunning_ = false;
}

} // namespace volumira

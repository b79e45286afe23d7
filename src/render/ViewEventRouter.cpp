#include "render/ViewEventRouter.h"

#include "render/GLDisplay.h"
#include "render/GLRenderer.h"
#include "render/InputCodes.h"
#include "render/TimerListener.h"

#include <stdexcept>

namespace volumira {

void ViewEventRouter::setRenderer(GLRenderer* renderer) {
    renderer_ = renderer;
    if (!renderer) return;
    {
        const GLDisplay::ContextGrab grab(display_);
        renderer->initialize();
    }
    int width = 0, height = 0;
    host_.clientSize(width, height);
    resized(width, height);
}

void ViewEventRouter::installPage(GLInteractiveRenderer* page) {
    const GLDisplay::ContextGrab grab(display_);
    if (page_) page_->setActive(false);
    page_ = page;
    setRenderer(page);
    setMouseListener(page);
    setKeyListener(page);
    if (page) page->setActive(true);
    host_.schedulePaint();
}

void ViewEventRouter::paint() {
    try {
        const GLDisplay::ContextGrab grab(display_);
        if (!grab.isCurrent()) throw std::runtime_error("Error initializing OpenGL.");
        if (!renderer_) return;
        renderer_->draw();
        host_.presentFrame();
    } catch (const std::exception& e) {
        host_.showPaintError(e.what());
    }
}

void ViewEventRouter::resized(int width, int height) {
    width_ = width;
    height_ = height;
    if (!renderer_) return;
    const GLDisplay::ContextGrab grab(display_);
    if (!grab.isCurrent()) throw std::runtime_error("Error setting OpenGL context.");
    renderer_->resize(width, height);
}

void ViewEventRouter::buttonDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    host_.takeFocus();
    host_.grabMouse();
    buttonDown_ = true;
    captured_ = true;
    if (!mouse_) return;
    const GLDisplay::ContextGrab grab(display_);
    mouse_->mouseDown(button, x, y, modifiers, time);
}

void ViewEventRouter::buttonUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    host_.ungrabMouse();
    captured_ = false;
    if (mouse_) {
        const GLDisplay::ContextGrab grab(display_);
        mouse_->mouseUp(button, x, y, modifiers, time);
    }
    buttonDown_ = false;
}

void ViewEventRouter::doubleClick(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (!mouse_) return;
    const GLDisplay::ContextGrab grab(display_);
    mouse_->mouseDoubleClick(button, x, y, modifiers, time);
}

void ViewEventRouter::pointerMoved(int x, int y, int modifiers, std::uint32_t time) {
    if (!moveEvents_) return;
    if (!leaveArmed_) {
        host_.armLeaveNotification();
        leaveArmed_ = true;
    }
    if (!mouse_) return;
    const GLDisplay::ContextGrab grab(display_);
    mouse_->mouseMove(x, y, modifiers, time);
}

void ViewEventRouter::pointerLeft(std::uint32_t time) {
    if (mouse_) {
        const GLDisplay::ContextGrab grab(display_);
        mouse_->mouseLeave(time);
    }
    leaveArmed_ = false;
}

bool ViewEventRouter::wheel(int x, int y, int modifiers, int delta, std::uint32_t time) {
    if (mouse_) {
        const GLDisplay::ContextGrab grab(display_);
        mouse_->mouseWheel(x, y, modifiers, delta, time);
    }
    return true;
}

void ViewEventRouter::deactivated() {
    if (!captured_) return;
    if (mouse_) {
        const GLDisplay::ContextGrab grab(display_);
        mouse_->mouseCaptureLost();
    }
    host_.ungrabMouse();
    captured_ = false;
}

void ViewEventRouter::keyDown(int code, int modifiers, std::uint32_t time) {
    if (code < kKeyUp || code > kKeyEnd) return;
    if (!keys_) return;
    const GLDisplay::ContextGrab grab(display_);
    keys_->keySpecial(code, modifiers, time);
}

void ViewEventRouter::character(char32_t character, int modifiers, std::uint32_t time) {
    if (!keys_) return;
    const GLDisplay::ContextGrab grab(display_);
    keys_->keyChar(character, modifiers, time);
}

void ViewEventRouter::timer(int id) {
    if (id != kViewTimerId || !timer_) return;
    const GLDisplay::ContextGrab grab(display_);
    timer_->timerTick();
}

void ViewEventRouter::captureMouse() {
    if (!buttonDown_) throw std::logic_error("The mouse can only be captured while a mouse button is down.");
    captured_ = true;
    host_.grabMouse();
}

void ViewEventRouter::releaseMouse() {
    captured_ = false;
    host_.ungrabMouse();
}

void ViewEventRouter::startTimer(int intervalMs, TimerListener* listener) {
    if (!listener) return;
    stopTimer();
    if (host_.startPlatformTimer(kViewTimerId, intervalMs)) timer_ = listener;
}

void ViewEventRouter::stopTimer() {
    if (!timer_) return;
    host_.killPlatformTimer(kViewTimerId);
    timer_ = nullptr;
}

} // namespace volumira

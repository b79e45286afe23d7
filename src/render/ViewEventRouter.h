#pragma once

#include <cstdint>
#include <string>

namespace volumira {

class GLDisplay;
class GLInteractiveRenderer;
class GLRenderer;
class KeyListener;
class MouseListener;
class TimerListener;

// What the router needs from the window that hosts the GL view.
class ViewHost {
  public:
    virtual ~ViewHost() = default;
    virtual void takeFocus() = 0;
    virtual void grabMouse() = 0;
    virtual void ungrabMouse() = 0;
    // Ask to be told when the pointer leaves the window (a no-op where that is always reported).
    virtual void armLeaveNotification() = 0;
    virtual void presentFrame() = 0;
    virtual void schedulePaint() = 0;
    virtual void clientSize(int& width, int& height) const = 0;
    // False when the platform refuses the timer.
    virtual bool startPlatformTimer(int id, int intervalMs) = 0;
    virtual void killPlatformTimer(int id) = 0;
    // A paint failed with this message; shown in the status line.
    virtual void showPaintError(const std::string& message) = 0;
};

// The window-independent part of the GL view: turns the window's paint, size, mouse, keyboard and timer
// events into calls on the installed renderer and listeners, and keeps the button, capture, leave and
// timer state. The window calls one handler per event and forwards the GLDisplay capture and timer
// operations here. Every call into a renderer or listener runs with the display's context grabbed.
class ViewEventRouter {
  public:
    static constexpr int kViewTimerId = 1000;

    // display is the one whose context the renderers draw in (usually the host itself).
    ViewEventRouter(ViewHost& host, GLDisplay& display) : host_(host), display_(display) {}

    // Stores the renderer; a new one is initialised and resized to the client size.
    void setRenderer(GLRenderer* renderer);
    GLRenderer* renderer() const { return renderer_; }
    void setMouseListener(MouseListener* listener) { mouse_ = listener; }
    void setKeyListener(KeyListener* listener) { keys_ = listener; }
    // Hides the installed page renderer and installs this one for drawing, mouse and keys, shows it and
    // schedules a paint.
    void installPage(GLInteractiveRenderer* page);

    // Makes the context current (failure: "Error initializing OpenGL."), draws and presents; a standard
    // exception is shown through the host and the paint ends normally.
    void paint();
    // Throws "Error setting OpenGL context." when the renderer cannot be given the context.
    void resized(int width, int height);
    void buttonDown(int button, int x, int y, int modifiers, std::uint32_t time);
    void buttonUp(int button, int x, int y, int modifiers, std::uint32_t time);
    void doubleClick(int button, int x, int y, int modifiers, std::uint32_t time);
    void pointerMoved(int x, int y, int modifiers, std::uint32_t time);
    void pointerLeft(std::uint32_t time);
    // Always handled.
    bool wheel(int x, int y, int modifiers, int delta, std::uint32_t time);
    // The window lost the mouse (application or window deactivated, focus or grab lost): a captured
    // mouse is given up and the listener ends its drag.
    void deactivated();
    // code: a NavigationKey; other codes are not delivered.
    void keyDown(int code, int modifiers, std::uint32_t time);
    void character(char32_t character, int modifiers, std::uint32_t time);
    void timer(int id);

    // GLDisplay operations the window forwards.
    void captureMouse();
    void releaseMouse();
    void setMouseMoveEvents(bool on) { moveEvents_ = on; }
    void startTimer(int intervalMs, TimerListener* listener);
    void stopTimer();
    int width() const { return width_; }
    int height() const { return height_; }

    bool isButtonDown() const { return buttonDown_; }
    bool isCaptured() const { return captured_; }
    bool isLeaveArmed() const { return leaveArmed_; }

  private:
    ViewHost& host_;
    GLDisplay& display_;
    GLRenderer* renderer_ = nullptr;
    GLInteractiveRenderer* page_ = nullptr;
    MouseListener* mouse_ = nullptr;
    KeyListener* keys_ = nullptr;
    TimerListener* timer_ = nullptr;
    int width_ = 0, height_ = 0;
    bool buttonDown_ = false;
    bool captured_ = false;
    bool leaveArmed_ = false;
    bool moveEvents_ = false;
};

} // namespace volumira

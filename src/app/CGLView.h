#pragma once

#include "app/GLSetup.h"
#include "preferences/UserPreferences.h"
#include "render/CursorShape.h"
#include "render/GLDisplay.h"
#include "render/GLHandles.h"
#include "render/GLRenderer.h"
#include "render/ViewEventRouter.h"

#include <QOpenGLWidget>
#include <QTimer>
#include <functional>
#include <string>

namespace volumira {

class Prompt;
class TimerListener;

// The window one document's pictures are drawn in. It owns the GL context and hands paint, size,
// mouse, key and timer events to one installed renderer and listeners, none of which it owns. Every
// one of those calls runs with its context current (GLDisplay::ContextGrab). The GL objects made in its
// context (their handles) are freed there when that context goes: when the view goes, or when the
// toolkit drops the context (the view moved to another window), after which the renderers make them
// again in the new one. It shows the pointer shapes the renderers ask for.
class CGLView : public QOpenGLWidget,
                public GLDisplay,
                public UserPreferencesListener,
                private ViewHost,
                private CursorShapeHandler {
  public:
    using TextBoxFactory = std::function<std::unique_ptr<GLTextBox>(int width, int lines, bool smallFont, int alignment)>;
    using StatusSink = std::function<void(const std::string&)>;

    // The default surface format must be set before the application object is made (see
    // configureSurfaceFormat); preferences and prompt must outlive the view.
    CGLView(UserPreferences& preferences, Prompt& prompt, QWidget* parent = nullptr);
    ~CGLView() override;

    // Hides the page shown, shows this one and hands it the drawing, the mouse and the keys; before
    // the context exists the page waits for it.
    void installPage(GLInteractiveRenderer* page);
    GLRenderer* renderer() const { return router_.renderer(); }
    ViewEventRouter& events() { return router_; }
    void setTextBoxFactory(TextBoxFactory factory) { textBoxFactory_ = std::move(factory); }
    // Where errors raised while painting are shown (the main window's status line).
    void setStatusSink(StatusSink sink) { statusSink_ = std::move(sink); }
    // Shift held when the view was made asks for the diagnostic box when the display is checked.
    void setShowDiagnostic(bool on) { showDiagnostic_ = on; }
    // Checks what the display gives a context of the view's format (probed afresh): throws
    // std::runtime_error for an unusable one; false when the user declines to go on with a slow one.
    // Shows the diagnostic box when asked.
    bool checkDisplay();
    const DisplayFacts& displayFacts() const { return facts_; }
    // Draws a frame and puts it on the clipboard as an image.
    void copyImageToClipboard();

    // GLDisplay
    void redrawNow() override;
    void requestRedraw() override;
    void swapBuffers() override;
    bool makeCurrent() override;
    bool isCurrent() const override;
    void setVerticalSync(bool on) override;
    void setMouseMoveEvents(bool on) override;
    int width() const override { return router_.width(); }
    int height() const override { return router_.height(); }
    void captureMouse() override;
    void releaseMouse() override;
    void startTimer(int intervalMs, TimerListener* listener) override;
    void stopTimer() override;
    std::unique_ptr<GLTextBox> createTextBox(int width, int lines, bool smallFont, int alignment) override;
    // The GL objects alive in the view's context.
    GLContextObjects& objects() { return objects_; }

    void preferencesChanged(int code) override;

    // Asks for the compatibility-profile, double-buffered format with the preferred multisampling for
    // every view; call before QApplication is made.
    static void configureSurfaceFormat(const UserPreferences& preferences);

  protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    bool event(QEvent* event) override;
    ContextRestorer currentContextRestorer() override;

  private:
    void applyCursorShape(CursorShape shape) override;
    // Frees the GL objects of the context, which is about to go (the toolkit's hellogl2 pattern).
    void releaseGLObjects();

    // ViewHost
    void takeFocus() override;
    void grabMouse() override {}
    void ungrabMouse() override {}
    void armLeaveNotification() override {}
    void presentFrame() override {}
    void schedulePaint() override { requestRedraw(); }
    void clientSize(int& width, int& height) const override;
    bool startPlatformTimer(int id, int intervalMs) override;
    void killPlatformTimer(int id) override;
    void showPaintError(const std::string& message) override;

    UserPreferences& preferences_;
    Prompt& prompt_;
    ViewEventRouter router_{*this, *this};
    GLInteractiveRenderer* pendingPage_ = nullptr;
    QTimer timer_;
    TextBoxFactory textBoxFactory_;
    StatusSink statusSink_;
    bool contextReady_ = false;
    // The framebuffer holds the frame of the current state: nothing has asked for a new one since.
    bool frameCurrent_ = false;
    bool showDiagnostic_ = false;
    DisplayFacts facts_;
    GLContextObjects objects_{*this};
    QMetaObject::Connection contextGoing_;
};

} // namespace volumira

#include "app/CGLView.h"

#include "app/Prompt.h"
#include "app/QtDisplayOffer.h"
#include "render/GL.h"
#include "render/InputCodes.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPointer>
#include <QSurfaceFormat>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <stdexcept>

namespace volumira {

namespace {

int buttonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::MiddleButton: return kButtonMiddle;
    case Qt::RightButton: return kButtonRight;
    default: return kButtonLeft;
    }
}

// Shift and Control as delivered with the event; Alt as the keyboard stands now.
int mouseModifiers(Qt::KeyboardModifiers delivered) {
    int flags = 0;
    if (delivered & Qt::ShiftModifier) flags |= kModifierShift;
    if (delivered & Qt::ControlModifier) flags |= kModifierControl;
    if (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier) flags |= kModifierAlt;
    return flags;
}

int keyModifiers() {
    const Qt::KeyboardModifiers now = QGuiApplication::queryKeyboardModifiers();
    return (now & Qt::ShiftModifier ? kModifierShift : 0) | (now & Qt::ControlModifier ? kModifierControl : 0) |
           (now & Qt::AltModifier ? kModifierAlt : 0);
}

int navigationCode(int key) {
    switch (key) {
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Down: return kKeyDown;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_PageUp: return kKeyPageUp;
    case Qt::Key_PageDown: return kKeyPageDown;
    case Qt::Key_Home: return kKeyHome;
    case Qt::Key_End: return kKeyEnd;
    default: return 0;
    }
}

QSurfaceFormat viewFormat(const UserPreferences& preferences, int samples) {
    QSurfaceFormat format;
    // A legacy version keeps Qt from asking for a forward-compatible (core) context, in which every
    // fixed-function call would fail.
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::NoProfile);
    format.setOption(QSurfaceFormat::DeprecatedFunctions);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(16);
    format.setSamples(samples > 0 ? samples : -1);
    format.setSwapInterval(preferences.verticalSync() ? 1 : 0);
    return format;
}

} // namespace

void CGLView::configureSurfaceFormat(const UserPreferences& preferences) {
    QSurfaceFormat::setDefaultFormat(viewFormat(preferences, 0));
}

CGLView::CGLView(UserPreferences& preferences, Prompt& prompt, QWidget* parent)
    : QOpenGLWidget(parent), preferences_(preferences), prompt_(prompt) {
    setObjectName("DataView");
    setWindowTitle("Data View");
    setFocusPolicy(Qt::StrongFocus);
    // The framebuffer keeps the last frame between paints (see paintGL). Without this the widget clears it
    // before every paint, and a paint the toolkit makes on its own, after a menu or a dialog over the view
    // closes, left the view black until the scene changed.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    QtDisplayOffer display(viewFormat(preferences_, 0));
    setFormat(viewFormat(preferences_, chooseMultisample(display, preferences_)));
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { router_.timer(ViewEventRouter::kViewTimerId); });
    // A new framebuffer holds no frame. Besides a resize, which draws anyway, the widget makes one when the
    // window reaches a screen of another pixel ratio, with no resizeGL; without this the paint that follows
    // would keep the empty framebuffer and leave the view blank until the scene changed.
    connect(this, &QOpenGLWidget::resized, this, [this] { requestRedraw(); });
    preferences_.addListener(this);
    setCursorShapeHandler(this);
}

CGLView::~CGLView() {
    if (cursorShapeHandler() == this) setCursorShapeHandler(nullptr);
    preferences_.removeListener(this);
    timer_.stop();
    // The context outlives this part of the view: the toolkit deletes it after, when nothing of the view
    // but the widget is left to hear of it.
    QObject::disconnect(contextGoing_);
    releaseGLObjects();
}

void CGLView::releaseGLObjects() { objects_.releaseAll(); }

bool CGLView::checkDisplay() {
    // A probe with the view's own format: it tells why when the view got no usable context, where the
    // view itself would only stay blank.
    QtDisplayOffer display(format());
    facts_ = display.probe(std::max(format().samples(), 0));
    return volumira::checkDisplay(facts_, showDiagnostic_, preferences_, prompt_);
}

void CGLView::installPage(GLInteractiveRenderer* page) {
    if (!contextReady_) {
        pendingPage_ = page;
        return;
    }
    router_.installPage(page);
}

void CGLView::initializeGL() {
    frameCurrent_ = false;
    QObject::disconnect(contextGoing_);
    contextGoing_ = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { releaseGLObjects(); });
    // The widget draws into a framebuffer with the chosen sample count; its context's format has none.
    if (format().samples() > 1) glEnable(GL_MULTISAMPLE);
    // A context made anew (the view moved to another window) has none of the renderer's state yet.
    const bool madeAgain = contextReady_;
    contextReady_ = true;
    if (madeAgain && router_.renderer()) router_.setRenderer(router_.renderer());
    if (pendingPage_) {
        GLInteractiveRenderer* page = pendingPage_;
        pendingPage_ = nullptr;
        router_.installPage(page);
    }
}

void CGLView::paintGL() {
    // The widget paints on every resize and again at the window's next paint; its framebuffer keeps the
    // last frame, so a paint that nobody asked a new frame for shows that one instead of drawing it twice.
    if (frameCurrent_) return;
    frameCurrent_ = true;
    router_.paint();
}

void CGLView::resizeGL(int w, int h) {
    frameCurrent_ = false;
    try {
        router_.resized(w, h);
    } catch (const std::exception& e) {
        showPaintError(e.what());
    }
}

void CGLView::redrawNow() {
    if (!isVisible()) return;
    frameCurrent_ = false;
    const bool wasCurrent = context() && QOpenGLContext::currentContext() == context();
    repaint();
    // Composing the frame leaves the toolkit's own context current; the caller may go on with ours.
    if (wasCurrent) QOpenGLWidget::makeCurrent();
}

void CGLView::requestRedraw() {
    frameCurrent_ = false;
    update();
}

void CGLView::swapBuffers() {
    if (!makeCurrent()) throw std::runtime_error("Error setting OpenGL context.");
    // The widget composes its framebuffer into the window itself after each paint.
    requestRedraw();
}

bool CGLView::makeCurrent() {
    if (!context()) return false;
    QOpenGLWidget::makeCurrent();
    return QOpenGLContext::currentContext() == context();
}

bool CGLView::isCurrent() const {
    return context() && QOpenGLContext::currentContext() == context();
}

GLDisplay::ContextRestorer CGLView::currentContextRestorer() {
    QOpenGLContext* previous = QOpenGLContext::currentContext();
    // None, or our own: the grab leaves ours current.
    if (!previous || previous == context()) return {};
    QPointer<QOpenGLContext> kept(previous);
    QSurface* surface = previous->surface();
    return [kept, surface] {
        if (kept && surface) kept->makeCurrent(surface);
    };
}

void CGLView::applyCursorShape(CursorShape shape) {
    static constexpr Qt::CursorShape kShapes[] = {Qt::ArrowCursor,     Qt::CrossCursor,     Qt::SizeVerCursor,
                                                  Qt::SizeHorCursor,   Qt::SizeBDiagCursor, Qt::SizeFDiagCursor,
                                                  Qt::SizeAllCursor};
    setCursor(kShapes[shape]);
}

void CGLView::setVerticalSync(bool on) {
    // What reaches the screen is the top-level window's surface, whose swap interval the window system
    // reads only when that window is made; the toolkit offers no way to change it later. So a change
    // reaches a window not made yet (the faster settings offered before the main window shows); once it
    // is made the change applies from the next start, and the preferences dialog says so.
    const int interval = on ? 1 : 0;
    QSurfaceFormat defaults = QSurfaceFormat::defaultFormat();
    defaults.setSwapInterval(interval);
    QSurfaceFormat::setDefaultFormat(defaults);
    if (QWindow* top = window()->windowHandle(); top && !top->handle()) {
        QSurfaceFormat format = top->requestedFormat();
        format.setSwapInterval(interval);
        top->setFormat(format);
    }
    if (!context()) {
        QSurfaceFormat format = this->format();
        format.setSwapInterval(interval);
        setFormat(format);
    }
}

void CGLView::setMouseMoveEvents(bool on) {
    router_.setMouseMoveEvents(on);
    setMouseTracking(on);
}

void CGLView::captureMouse() { router_.captureMouse(); }

void CGLView::releaseMouse() { router_.releaseMouse(); }

void CGLView::startTimer(int intervalMs, TimerListener* listener) { router_.startTimer(intervalMs, listener); }

void CGLView::stopTimer() { router_.stopTimer(); }

std::unique_ptr<GLTextBox> CGLView::createTextBox(int width, int lines, bool smallFont, int alignment) {
    if (!textBoxFactory_) throw std::logic_error("No text rendering is set up for this view.");
    return textBoxFactory_(width, lines, smallFont, alignment);
}

void CGLView::preferencesChanged(int code) {
    if (code == UserPreferencesListener::kVerticalSync) setVerticalSync(preferences_.verticalSync());
}

void CGLView::takeFocus() { setFocus(Qt::MouseFocusReason); }

void CGLView::clientSize(int& width, int& height) const {
    width = QOpenGLWidget::width();
    height = QOpenGLWidget::height();
}

bool CGLView::startPlatformTimer(int, int intervalMs) {
    timer_.start(intervalMs);
    return timer_.isActive();
}

void CGLView::killPlatformTimer(int) { timer_.stop(); }

void CGLView::showPaintError(const std::string& message) {
    if (statusSink_) statusSink_(message);
}

void CGLView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    router_.buttonDown(buttonCode(event->button()), p.x(), p.y(), mouseModifiers(event->modifiers()),
                       static_cast<std::uint32_t>(event->timestamp()));
}

void CGLView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    router_.buttonUp(buttonCode(event->button()), p.x(), p.y(), mouseModifiers(event->modifiers()),
                     static_cast<std::uint32_t>(event->timestamp()));
}

void CGLView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    router_.doubleClick(buttonCode(event->button()), p.x(), p.y(), mouseModifiers(event->modifiers()),
                        static_cast<std::uint32_t>(event->timestamp()));
}

void CGLView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    router_.pointerMoved(p.x(), p.y(), mouseModifiers(event->modifiers()),
                         static_cast<std::uint32_t>(event->timestamp()));
}

void CGLView::enterEvent(QEnterEvent* event) {
    // The pointer shapes go to the view the pointer is in.
    setCursorShapeHandler(this);
    QOpenGLWidget::enterEvent(event);
}

void CGLView::leaveEvent(QEvent*) {
    router_.pointerLeft(static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch()));
}

void CGLView::wheelEvent(QWheelEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (router_.wheel(global.x(), global.y(), mouseModifiers(event->modifiers()), event->angleDelta().y(),
                      static_cast<std::uint32_t>(event->timestamp())))
        event->accept();
}

void CGLView::keyPressEvent(QKeyEvent* event) {
    const auto time = static_cast<std::uint32_t>(event->timestamp());
    if (const int code = navigationCode(event->key())) {
        router_.keyDown(code, keyModifiers(), time);
        return;
    }
    for (const char32_t c : event->text().toUcs4())
        router_.character(c, keyModifiers(), time);
}

bool CGLView::event(QEvent* event) {
    // Losing the window, the keyboard focus or the mouse grab mid-drag ends the drag without a release;
    // the next press starts afresh.
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::FocusOut:
    case QEvent::UngrabMouse: router_.deactivated(); break;
    default: break;
    }
    return QOpenGLWidget::event(event);
}

void CGLView::copyImageToClipboard() {
    const QImage image = grabFramebuffer();
    QApplication::clipboard()->setImage(image);
}

} // namespace volumira

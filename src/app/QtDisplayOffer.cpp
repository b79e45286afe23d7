#include "app/QtDisplayOffer.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QWindow>
#include <algorithm>

namespace volumira {

namespace {

std::string glString(QOpenGLFunctions& gl, GLenum name) {
    const auto* text = reinterpret_cast<const char*>(gl.glGetString(name));
    return text ? text : "";
}

// Whether the window system makes GL contexts at all, asking for nothing in particular. Without GL it
// still makes windows and hidden surfaces, so only a context tells.
bool makesAnyContext() {
    QOpenGLContext context;
    return context.create();
}

// The samples a framebuffer object asking for this many really has, as the view's would (with its
// depth buffer), in the current context; the driver may give more or fewer, or none.
int framebufferSamples(QOpenGLFunctions& gl, int samples) {
    if (samples <= 0 || !QOpenGLFramebufferObject::hasOpenGLFramebufferObjects()) return 0;
    QOpenGLFramebufferObjectFormat format;
    format.setSamples(samples);
    format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    QOpenGLFramebufferObject framebuffer(QSize(1, 1), format);
    if (!framebuffer.isValid() || !framebuffer.bind()) return 0;
    GLint got = 0;
    gl.glGetIntegerv(GL_SAMPLES, &got);
    framebuffer.release();
    return got;
}

} // namespace

DisplayFacts QtDisplayOffer::probe(int samples) {
    using Step = DisplayFacts::Step;
    DisplayFacts facts;
    facts.reached = Step::None;
    // The view's widget makes its context and surfaces without samples and draws into a framebuffer
    // object with them; so does the probe.
    QSurfaceFormat request = viewFormat_;
    request.setSamples(-1);

    // A step that fails tells only about the request, unless the window system has no GL at all.
    const auto failed = [&facts] {
        if (!makesAnyContext()) {
            facts.openGL = false;
            facts.reached = std::max(facts.reached, Step::FormatDescribed);
        }
        return facts;
    };

    // The format the window system picks for a GL window of this request; it falls back to a lesser
    // one rather than fail.
    QWindow window;
    window.setSurfaceType(QSurface::OpenGLSurface);
    window.setFormat(request);
    window.resize(1, 1);
    window.create();
    if (!window.handle()) return failed();
    const QSurfaceFormat got = window.format();
    if (got.redBufferSize() < 0 || got.greenBufferSize() < 0 || got.blueBufferSize() < 0) return failed();
    facts.reached = Step::FormatDescribed;
    facts.rgba = got.redBufferSize() > 0 && got.greenBufferSize() > 0 && got.blueBufferSize() > 0;
    facts.redBits = got.redBufferSize();
    facts.greenBits = got.greenBufferSize();
    facts.blueBits = got.blueBufferSize();
    facts.alphaBits = std::max(got.alphaBufferSize(), 0);
    facts.depthBits = std::max(got.depthBufferSize(), 0);
    facts.doubleBuffered = got.swapBehavior() != QSurfaceFormat::SingleBuffer;

    // The view draws into a hidden surface of its context's format, as this probe does.
    QOpenGLContext context;
    context.setFormat(request);
    QOffscreenSurface surface;
    surface.setFormat(request);
    surface.create();
    if (!surface.isValid()) return failed();
    facts.reached = Step::FormatSet;
    if (!context.create()) return failed();
    facts.reached = Step::ContextCreated;

    QOpenGLContext* previous = QOpenGLContext::currentContext();
    QPointer<QOpenGLContext> kept(previous);
    QSurface* previousSurface = previous ? previous->surface() : nullptr;
    if (context.makeCurrent(&surface)) {
        facts.reached = Step::ContextCurrent;
        QOpenGLFunctions& gl = *context.functions();
        facts.vendor = glString(gl, GL_VENDOR);
        facts.renderer = glString(gl, GL_RENDERER);
        facts.version = glString(gl, GL_VERSION);
        facts.extensions = glString(gl, GL_EXTENSIONS);
        facts.samples = framebufferSamples(gl, samples);
        context.doneCurrent();
    }
    if (kept && previousSurface) kept->makeCurrent(previousSurface);
    return facts.reached == Step::ContextCurrent ? facts : failed();
}

} // namespace volumira

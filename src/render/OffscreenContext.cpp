#include "render/OffscreenContext.h"

#include "render/GL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <stdexcept>

namespace volumira {

struct OffscreenContext::State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLFramebuffer framebuffer;
    GLRenderbuffer colour, depth;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;

    // Makes the framebuffer with its attachments and leaves it bound; needs the context current.
    void makeFramebuffer(int width, int height);
};

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("Could not create an offscreen OpenGL context: " + what);
}

template <typename Function> Function glFunction(const char* name) {
    auto function = reinterpret_cast<Function>(eglGetProcAddress(name));
    if (!function) fail(std::string("the driver lacks ") + name + ".");
    return function;
}

} // namespace

void OffscreenContext::State::makeFramebuffer(int width, int height) {
    auto bindRenderbuffer = glFunction<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    auto renderbufferStorage = glFunction<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    auto attach = glFunction<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    auto status = glFunction<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    framebuffer = GLFramebuffer::generate();
    bindFramebuffer(GL_FRAMEBUFFER, framebuffer.id());
    colour = GLRenderbuffer::generate();
    bindRenderbuffer(GL_RENDERBUFFER, colour.id());
    renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour.id());
    depth = GLRenderbuffer::generate();
    bindRenderbuffer(GL_RENDERBUFFER, depth.id());
    renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    attach(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth.id());
    if (status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) fail("the framebuffer object is incomplete.");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

OffscreenContext::OffscreenContext(int width, int height)
    : state_(std::make_unique<State>()), width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw std::invalid_argument("Offscreen context size must be positive.");
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!clientExtensions ||
        std::string(clientExtensions).find("EGL_MESA_platform_surfaceless") == std::string::npos)
        fail("EGL has no surfaceless platform (Mesa's EGL_MESA_platform_surfaceless is needed).");
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) fail("eglGetPlatformDisplayEXT is missing.");
    State& s = *state_;
    s.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (s.display == EGL_NO_DISPLAY || !eglInitialize(s.display, &major, &minor))
        fail("the surfaceless EGL display could not be initialised.");
    // The display is shared by every context of the process and never terminated: terminating it would
    // pull the ground from under the other contexts.
    if (!eglBindAPI(EGL_OPENGL_API)) fail("EGL does not offer desktop OpenGL.");
    // No profile is requested, so the driver gives its compatibility profile with the fixed-function
    // pipeline, display lists and selection mode; no config is needed without a surface.
    s.context = eglCreateContext(s.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (s.context == EGL_NO_CONTEXT)
        fail("eglCreateContext failed (EGL error " + std::to_string(eglGetError()) + ").");
    if (!eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context)) {
        eglDestroyContext(s.display, s.context);
        fail("the context could not be made current without a surface.");
    }
    try {
        s.bindFramebuffer = glFunction<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
        s.makeFramebuffer(width, height);
        glViewport(0, 0, width, height);
    } catch (...) {
        objects_.abandonAll();
        eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(s.display, s.context);
        throw;
    }
}

OffscreenContext::~OffscreenContext() {
    State& s = *state_;
    // Every object made in the context, the framebuffer's included, is freed in it; another context
    // current on this thread stays current afterwards.
    objects_.releaseAll();
    if (eglGetCurrentContext() == s.context) eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(s.display, s.context);
}

bool OffscreenContext::isCurrent() const {
    return state_->context != EGL_NO_CONTEXT && eglGetCurrentContext() == state_->context;
}

GLContext::ContextRestorer OffscreenContext::currentContextRestorer() {
    const EGLContext previous = eglGetCurrentContext();
    if (previous == EGL_NO_CONTEXT || previous == state_->context) return {};
    const EGLDisplay display = eglGetCurrentDisplay();
    const EGLSurface draw = eglGetCurrentSurface(EGL_DRAW), read = eglGetCurrentSurface(EGL_READ);
    return [display, draw, read, previous] { eglMakeCurrent(display, draw, read, previous); };
}

bool OffscreenContext::makeCurrent() {
    State& s = *state_;
    if (!eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context)) return false;
    if (s.framebuffer && s.colour && s.depth) {
        s.bindFramebuffer(GL_FRAMEBUFFER, s.framebuffer.id());
        return true;
    }
    // Its objects were freed while it stays (GLContextObjects::releaseAll): a new, empty framebuffer.
    try {
        s.makeFramebuffer(width_, height_);
    } catch (const std::runtime_error&) {
        return false;
    }
    return true;
}

std::string OffscreenContext::renderer() const {
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return text ? text : "";
}

std::vector<std::uint8_t> OffscreenContext::readPixels() {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
                                     4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

} // namespace volumira

#pragma once

#include <functional>

namespace volumira {

// A GL context as the drawing code sees it, without the toolkit that made it: it can be made current
// for a scope (Grab) and asked whether it is the one current on the calling thread. The window's view
// and the offscreen context are the two kinds.
class GLContext {
  public:
    class Grab;

    virtual ~GLContext() = default;
    // True when the context is current or could be made current.
    virtual bool makeCurrent() = 0;
    // Whether this context is the one current on the calling thread; false where that cannot be told.
    virtual bool isCurrent() const { return false; }

  protected:
    // Puts back whatever context is current now; empty where the context cannot tell what that is.
    using ContextRestorer = std::function<void()>;
    // Called by a grab before it makes this context current. The default cannot tell.
    virtual ContextRestorer currentContextRestorer() { return {}; }
};

// Makes a context current for a scope, for every GL call outside a paint: input, timer ticks and a
// renderer's initialisation (the toolkit leaves another context current after it composes a frame).
// The constructor remembers what was current, if the context can tell, and makes this one current; the
// destructor makes the remembered context current again, or leaves this one current where nothing was
// remembered. Grabs nest. Use:
//     const GLContext::Grab grab(display);
//     listener->mouseDown(button, x, y, modifiers, time); // may read the view's depth buffer
class GLContext::Grab {
  public:
    explicit Grab(GLContext& context) : restore_(context.currentContextRestorer()), current_(context.makeCurrent()) {}
    ~Grab() {
        if (restore_) restore_();
    }
    Grab(const Grab&) = delete;
    Grab& operator=(const Grab&) = delete;

    // False when the context does not exist (not yet made, or lost): GL calls in the scope do nothing.
    bool isCurrent() const { return current_; }

  private:
    ContextRestorer restore_;
    bool current_;
};

} // namespace volumira

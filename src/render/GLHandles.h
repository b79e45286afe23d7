#pragma once

#include "render/GLContext.h"

#include <cstddef>

namespace volumira {

class GLHandle;

// The GL objects alive in one context. The context's owner (the window's view, the offscreen context)
// keeps one for as long as its context may be current; a handle made while that context is current
// joins it, so that it is freed in that context wherever it goes, and so that the owner can free them
// all when the context goes.
class GLContextObjects {
  public:
    explicit GLContextObjects(GLContext& context);
    // Empties the handles still listed without a GL call: their context goes with them.
    ~GLContextObjects();
    GLContextObjects(const GLContextObjects&) = delete;
    GLContextObjects& operator=(const GLContextObjects&) = delete;

    GLContext& context() const { return context_; }
    // Frees every listed object with the context made current for it, then puts back what was current.
    // The handles are left empty; their owners make them again the next time they need them. Where the
    // context cannot be made current the handles are emptied without a GL call.
    void releaseAll();
    // The context went with its objects: the handles are emptied without a GL call.
    void abandonAll();
    std::size_t size() const;

    // The objects of the registered context that is current on the calling thread; null when none is.
    static GLContextObjects* current();

  private:
    friend class GLHandle;
    GLContext& context_;
    GLHandle* first_ = nullptr;
};

// The name of one GL object, or of a range of display lists, that frees itself in the context it was
// made in: on reset or destruction that context is made current for the deletion, and what was current
// before is put back. Where that context can no longer be made current the name is let go without a
// deletion: in another context it may stand for somebody else's object. A handle made while no
// registered context is current frees its object in whatever context is current when it goes.
// Move-only: a move hands the object over and leaves the source empty.
class GLHandle {
  public:
    GLHandle(const GLHandle&) = delete;
    GLHandle& operator=(const GLHandle&) = delete;

    // 0 when empty.
    unsigned int id() const { return name_; }
    explicit operator bool() const { return name_ != 0; }
    // Those of the context it was made in; null when empty or made with no registered context current.
    const GLContextObjects* objects() const { return objects_; }
    // Frees the object now; the handle is empty afterwards.
    void reset();

  protected:
    enum class Kind { Texture, Buffer, Framebuffer, Renderbuffer, DisplayLists };

    explicit GLHandle(Kind kind) : kind_(kind) {}
    ~GLHandle() { reset(); }
    GLHandle(GLHandle&& other) noexcept;
    GLHandle& operator=(GLHandle&& other) noexcept;
    // Takes a name just made in the current context (0: the GL gave none); count is the range's length.
    void adopt(unsigned int name, int count);
    int count() const { return count_; }

  private:
    friend class GLContextObjects;
    void link(GLContextObjects* objects);
    void unlink();
    void deleteObject() const;

    Kind kind_;
    unsigned int name_ = 0;
    int count_ = 0;
    GLContextObjects* objects_ = nullptr;
    GLHandle* previous_ = nullptr;
    GLHandle* next_ = nullptr;
};

class GLTexture : public GLHandle {
  public:
    GLTexture() : GLHandle(Kind::Texture) {}
    // A new texture name in the current context; empty when the GL gives none.
    static GLTexture generate();
};

class GLBuffer : public GLHandle {
  public:
    GLBuffer() : GLHandle(Kind::Buffer) {}
    static GLBuffer generate();
};

class GLFramebuffer : public GLHandle {
  public:
    GLFramebuffer() : GLHandle(Kind::Framebuffer) {}
    static GLFramebuffer generate();
};

class GLRenderbuffer : public GLHandle {
  public:
    GLRenderbuffer() : GLHandle(Kind::Renderbuffer) {}
    static GLRenderbuffer generate();
};

// count consecutive display lists.
class GLDisplayLists : public GLHandle {
  public:
    GLDisplayLists() : GLHandle(Kind::DisplayLists) {}
    // Empty when count < 1 or the GL gives no range.
    static GLDisplayLists generate(int count);
    int size() const { return count(); }
    // The i-th list of the range, 0 <= i < size().
    unsigned int list(std::size_t i) const { return id() + static_cast<unsigned int>(i); }
};

} // namespace volumira

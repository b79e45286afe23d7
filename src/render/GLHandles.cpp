// Buffer and framebuffer objects are called directly, as the GL library exports them; this must precede
// every GL header of this file.
#define GL_GLEXT_PROTOTYPES 1

#include "render/GLHandles.h"

#include "render/GL.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace volumira {

namespace {

// Every live GLContextObjects, for finding the one whose context is current. Never destroyed, so that
// contexts kept in static storage may still leave it at exit.
struct Registry {
    std::mutex mutex;
    std::vector<GLContextObjects*> entries;
};

Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

} // namespace

// ---- GLContextObjects ----

GLContextObjects::GLContextObjects(GLContext& context) : context_(context) {
    Registry& r = registry();
    const std::lock_guard<std::mutex> lock(r.mutex);
    r.entries.push_back(this);
}

GLContextObjects::~GLContextObjects() {
    {
        Registry& r = registry();
        const std::lock_guard<std::mutex> lock(r.mutex);
        r.entries.erase(std::remove(r.entries.begin(), r.entries.end(), this), r.entries.end());
    }
    abandonAll();
}

GLContextObjects* GLContextObjects::current() {
    Registry& r = registry();
    const std::lock_guard<std::mutex> lock(r.mutex);
    for (GLContextObjects* objects : r.entries)
        if (objects->context_.isCurrent()) return objects;
    return nullptr;
}

std::size_t GLContextObjects::size() const {
    std::size_t n = 0;
    for (const GLHandle* h = first_; h; h = h->next_)
        ++n;
    return n;
}

void GLContextObjects::releaseAll() {
    if (!first_) return;
    // One grab for all: each handle then finds its context current and deletes at once.
    std::optional<GLContext::Grab> grab;
    if (!context_.isCurrent() && !grab.emplace(context_).isCurrent()) {
        abandonAll();
        return;
    }
    while (first_)
        first_->reset();
}

void GLContextObjects::abandonAll() {
    while (GLHandle* h = first_) {
        h->unlink();
        h->name_ = 0;
        h->count_ = 0;
    }
}

// ---- GLHandle ----

GLHandle::GLHandle(GLHandle&& other) noexcept : kind_(other.kind_) {
    *this = std::move(other);
}

GLHandle& GLHandle::operator=(GLHandle&& other) noexcept {
    if (this == &other) return *this;
    reset();
    kind_ = other.kind_;
    name_ = other.name_;
    count_ = other.count_;
    GLContextObjects* const objects = other.objects_;
    other.unlink();
    other.name_ = 0;
    other.count_ = 0;
    if (name_ != 0) link(objects);
    return *this;
}

void GLHandle::adopt(unsigned int name, int count) {
    reset();
    if (name == 0) return;
    name_ = name;
    count_ = count;
    link(GLContextObjects::current());
}

void GLHandle::link(GLContextObjects* objects) {
    objects_ = objects;
    if (!objects) return;
    next_ = objects->first_;
    previous_ = nullptr;
    if (next_) next_->previous_ = this;
    objects->first_ = this;
}

void GLHandle::unlink() {
    if (objects_) {
        if (previous_)
            previous_->next_ = next_;
        else
            objects_->first_ = next_;
        if (next_) next_->previous_ = previous_;
    }
    objects_ = nullptr;
    previous_ = next_ = nullptr;
}

void GLHandle::reset() {
    if (name_ == 0) return;
    if (!objects_ || objects_->context().isCurrent()) {
        deleteObject();
    } else {
        const GLContext::Grab grab(objects_->context());
        if (grab.isCurrent()) deleteObject();
    }
    unlink();
    name_ = 0;
    count_ = 0;
}

void GLHandle::deleteObject() const {
    const GLuint name = name_;
    switch (kind_) {
    case Kind::Texture: glDeleteTextures(1, &name); break;
    case Kind::Buffer: glDeleteBuffers(1, &name); break;
    case Kind::Framebuffer: glDeleteFramebuffers(1, &name); break;
    case Kind::Renderbuffer: glDeleteRenderbuffers(1, &name); break;
    case Kind::DisplayLists: glDeleteLists(name, count_); break;
    }
}

// ---- the kinds ----

namespace {

GLuint newName(void (*generate)(GLsizei, GLuint*)) {
    GLuint name = 0;
    generate(1, &name);
    return name;
}

} // namespace

GLTexture GLTexture::generate() {
    GLTexture texture;
    texture.adopt(newName(glGenTextures), 1);
    return texture;
}

GLBuffer GLBuffer::generate() {
    GLBuffer buffer;
    buffer.adopt(newName(glGenBuffers), 1);
    return buffer;
}

GLFramebuffer GLFramebuffer::generate() {
    GLFramebuffer framebuffer;
    framebuffer.adopt(newName(glGenFramebuffers), 1);
    return framebuffer;
}

GLRenderbuffer GLRenderbuffer::generate() {
    GLRenderbuffer renderbuffer;
    renderbuffer.adopt(newName(glGenRenderbuffers), 1);
    return renderbuffer;
}

GLDisplayLists GLDisplayLists::generate(int count) {
    GLDisplayLists lists;
    if (count > 0) lists.adopt(glGenLists(count), count);
    return lists;
}

} // namespace volumira

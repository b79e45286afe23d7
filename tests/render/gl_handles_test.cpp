// The handles of GL objects against two offscreen contexts at once: each object is freed in the context
// it was made in, whatever context is current when its handle goes.

// Declares the buffer and framebuffer functions; must precede every GL header.
#define GL_GLEXT_PROTOTYPES 1

#include "GLTestContext.h"
#include "render/GLHandles.h"
#include "render/OffscreenContext.h"
#include "render/TextureImage.h"

#include <optional>
#include <vector>

namespace volumira {
namespace {

// Each kind of handle with its object really made (names only reserved are no objects yet to the GL).
GLTexture makeTexture() {
    GLTexture texture = GLTexture::generate();
    glBindTexture(GL_TEXTURE_2D, texture.id());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

GLBuffer makeBuffer() {
    GLBuffer buffer = GLBuffer::generate();
    glBindBuffer(GL_ARRAY_BUFFER, buffer.id());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return buffer;
}

// Binding leaves the context's own framebuffer bound again.
GLFramebuffer makeFramebuffer() {
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    GLFramebuffer framebuffer = GLFramebuffer::generate();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.id());
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(bound));
    return framebuffer;
}

GLRenderbuffer makeRenderbuffer() {
    GLint bound = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
    GLRenderbuffer renderbuffer = GLRenderbuffer::generate();
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer.id());
    glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(bound));
    return renderbuffer;
}

GLDisplayLists makeLists() {
    GLDisplayLists lists = GLDisplayLists::generate(3);
    for (std::size_t i = 0; i < 3; ++i) {
        glNewList(lists.list(i), GL_COMPILE);
        glEndList();
    }
    return lists;
}

template <typename Handle> struct Kind {
    const char* name;
    Handle (*make)();
    GLboolean (*exists)(GLuint);
};

// Made in the first context, the handle goes while the second is current, where objects of the same
// kind stand under the same names: the first context's object goes, the second's stay, and the second
// context is current again afterwards.
template <typename Handle> void expectFreedInItsOwnContext(const Kind<Handle>& kind) {
    SCOPED_TRACE(kind.name);
    OffscreenContext first(8, 8), second(8, 8);
    ASSERT_TRUE(first.makeCurrent());
    std::optional<Handle> handle(kind.make());
    const GLuint name = handle->id();
    ASSERT_NE(name, 0u);
    EXPECT_EQ(handle->objects(), &first.objects());

    ASSERT_TRUE(second.makeCurrent());
    std::vector<Handle> others;
    bool nameTaken = false;
    while (!nameTaken && others.size() < 16) {
        others.push_back(kind.make());
        nameTaken = others.back().id() == name;
    }
    ASSERT_TRUE(nameTaken) << "the second context numbers its objects otherwise";

    handle.reset();
    EXPECT_TRUE(second.isCurrent());
    for (const Handle& other : others)
        EXPECT_TRUE(kind.exists(other.id())) << "object " << other.id() << " of the other context";
    ASSERT_TRUE(first.makeCurrent());
    EXPECT_FALSE(kind.exists(name));
    EXPECT_EQ(first.objects().size(), 3u) << "its own framebuffer's three objects are left";
    ASSERT_TRUE(second.makeCurrent());
}

TEST(GLHandles, EachKindIsFreedInTheContextItWasMadeInWhileAnotherIsCurrent) {
    expectFreedInItsOwnContext<GLTexture>({"texture", makeTexture, glIsTexture});
    expectFreedInItsOwnContext<GLBuffer>({"buffer", makeBuffer, glIsBuffer});
    expectFreedInItsOwnContext<GLFramebuffer>({"framebuffer", makeFramebuffer, glIsFramebuffer});
    expectFreedInItsOwnContext<GLRenderbuffer>({"renderbuffer", makeRenderbuffer, glIsRenderbuffer});
    expectFreedInItsOwnContext<GLDisplayLists>({"display lists", makeLists, glIsList});
}

TEST(GLHandles, AMoveHandsTheObjectOverAndItIsFreedOnce) {
    OffscreenContext context(8, 8);
    const std::size_t own = context.objects().size();
    std::optional<GLTexture> source(makeTexture());
    const GLuint name = source->id();
    std::optional<GLTexture> moved(std::move(*source));
    EXPECT_FALSE(*source);
    EXPECT_EQ(moved->id(), name);
    source.reset();
    EXPECT_TRUE(glIsTexture(name)) << "the emptied source freed the object";
    EXPECT_EQ(context.objects().size(), own + 1);

    // Assigning over a handle frees what it held and takes the other's object.
    GLTexture replacement = makeTexture();
    const GLuint replacementName = replacement.id();
    *moved = std::move(replacement);
    EXPECT_FALSE(replacement);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(moved->id(), replacementName);
    EXPECT_TRUE(glIsTexture(replacementName));
    EXPECT_EQ(context.objects().size(), own + 1);
    moved.reset();
    EXPECT_FALSE(glIsTexture(replacementName));
    EXPECT_EQ(context.objects().size(), own);

    // Display lists keep their range through a move.
    GLDisplayLists lists = makeLists();
    GLDisplayLists kept(std::move(lists));
    EXPECT_EQ(kept.size(), 3);
    EXPECT_EQ(lists.size(), 0);
    EXPECT_TRUE(glIsList(kept.list(2)));
    const GLuint last = kept.list(2);
    kept.reset();
    EXPECT_FALSE(glIsList(last));
}

TEST(GLHandles, AContextThatGoesFreesItsObjectsAndTheirHandlesTouchNoOtherContext) {
    auto first = std::make_unique<OffscreenContext>(8, 8);
    GLTexture texture = makeTexture();
    GLDisplayLists lists = makeLists();
    OffscreenContext second(8, 8);
    std::vector<GLTexture> others;
    for (int i = 0; i < 4; ++i)
        others.push_back(makeTexture());
    const GLDisplayLists otherLists = makeLists();

    first.reset();
    EXPECT_TRUE(second.isCurrent());
    EXPECT_FALSE(texture);
    EXPECT_FALSE(lists);
    EXPECT_EQ(texture.objects(), nullptr);
    texture.reset();
    { const GLDisplayLists gone(std::move(lists)); }
    for (const GLTexture& other : others)
        EXPECT_TRUE(glIsTexture(other.id()));
    EXPECT_TRUE(glIsList(otherLists.list(0)));
}

TEST(GLHandles, ReleasingAContextsObjectsEmptiesTheirHandlesAndAnImageIsMadeAgainFromItsPixels) {
    OffscreenContext context(8, 8);
    TextureImage image;
    image.create(4, 4);
    image.fill(200);
    image.upload();
    const GLuint name = image.texture();
    OffscreenContext other(8, 8);

    context.objects().releaseAll();
    EXPECT_TRUE(other.isCurrent());
    EXPECT_EQ(image.texture(), 0u);
    EXPECT_EQ(context.objects().size(), 0u);
    ASSERT_TRUE(context.makeCurrent());
    EXPECT_FALSE(glIsTexture(name));

    // The next upload makes the texture again from the image's pixels.
    image.upload();
    ASSERT_NE(image.texture(), 0u);
    std::vector<std::uint8_t> stored(static_cast<std::size_t>(image.storageWidth()) * image.storageHeight() * 4);
    glBindTexture(GL_TEXTURE_2D, image.texture());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, stored.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    for (std::size_t i = 0; i < 4 * 4; ++i)
        ASSERT_EQ(stored[i], 200) << "byte " << i;
    // The context made itself a new framebuffer to draw into.
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(context.readPixels()[1], 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace volumira

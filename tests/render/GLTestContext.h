#pragma once

// One offscreen context for all GL tests of a binary, made current before each test, with helpers that
// read its pixels.

#include "render/GL.h"
#include "render/OffscreenContext.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace volumira::test {

constexpr int kContextSize = 64;

inline OffscreenContext& glContext() {
    // Keep the driver's shader cache out of the user's home.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    static OffscreenContext context(kContextSize, kContextSize);
    return context;
}

// Fresh GL state for each test: black clear colour, identity matrices, full viewport.
class GLTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(glContext().makeCurrent());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glViewport(0, 0, kContextSize, kContextSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClearDepth(1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override {
        glPopAttrib();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    // RGBA of the pixel at (x, y), y upwards.
    static std::array<int, 4> pixel(int x, int y) {
        std::uint8_t rgba[4] = {};
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2], rgba[3]};
    }

    static float depthAt(int x, int y) {
        float depth = 0;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }

    static void expectColour(const std::array<int, 4>& actual, int r, int g, int b, int tolerance = 2) {
        EXPECT_NEAR(actual[0], r, tolerance);
        EXPECT_NEAR(actual[1], g, tolerance);
        EXPECT_NEAR(actual[2], b, tolerance);
    }

    // The names of every hit record that draw() leaves when picking the one pixel at (x, y).
    template <typename Draw> static std::vector<GLuint> pickAt(int x, int y, Draw draw) {
        std::vector<GLuint> buffer(1024);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glSelectBuffer(static_cast<GLsizei>(buffer.size()), buffer.data());
        glRenderMode(GL_SELECT);
        glInitNames();
        glPushName(0);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPickMatrix(x + 0.5, y + 0.5, 1, 1, viewport);
        glMultMatrixf(projection);
        glMatrixMode(GL_MODELVIEW);
        draw();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        const GLint hits = glRenderMode(GL_RENDER);
        std::vector<GLuint> names;
        std::size_t at = 0;
        for (GLint h = 0; h < hits; ++h) {
            const GLuint count = buffer[at];
            for (GLuint n = 0; n < count; ++n)
                names.push_back(buffer[at + 3 + n]);
            at += 3 + count;
        }
        return names;
    }
};

} // namespace volumira::test

#include "GLTestContext.h"
#include "render/SceneCamera.h"
#include "render/Trackball.h"

#include <string>

namespace volumira {
namespace {

using test::GLTest;

TEST(OffscreenContext, RejectsAnEmptySize) {
    EXPECT_THROW(OffscreenContext(0, 10), std::invalid_argument);
}

TEST_F(GLTest, ContextHasTheFixedFunctionPipeline) {
    const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    // A core profile would refuse display lists and selection; make sure we did not get one.
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    glGetError(); // GL before 3.2 does not know the query
    EXPECT_EQ(profile & GL_CONTEXT_CORE_PROFILE_BIT, 0) << version;

    const GLuint list = glGenLists(1);
    ASSERT_NE(list, 0u);
    glNewList(list, GL_COMPILE);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    glEndList();

    // A clip plane keeping x >= 0 cuts the quad in half, for drawing and for picking alike.
    const GLdouble keepRight[4] = {1, 0, 0, 0};
    glClipPlane(GL_CLIP_PLANE0, keepRight);
    glEnable(GL_CLIP_PLANE0);
    glCallList(list);
    expectColour(pixel(48, 32), 255, 0, 0);
    expectColour(pixel(16, 32), 0, 0, 0);
    const auto drawNamed = [list] {
        glLoadName(42);
        glCallList(list);
    };
    EXPECT_EQ(pickAt(48, 32, drawNamed), std::vector<GLuint>{42});
    EXPECT_TRUE(pickAt(16, 32, drawNamed).empty());
    glDisable(GL_CLIP_PLANE0);
    glDeleteLists(list, 1);
}

TEST_F(GLTest, ReadPixelsReturnsTheFramebuffer) {
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const std::vector<std::uint8_t> pixels = test::glContext().readPixels();
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(test::kContextSize * test::kContextSize * 4));
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[1], 255);
    EXPECT_EQ(pixels[pixels.size() - 3], 255);
}

TEST_F(GLTest, CameraLoadsTheMatricesItComputes) {
    SceneCamera camera({133, 81, 115});
    camera.setViewport(48, 32);
    camera.applyProjection();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 48);
    EXPECT_EQ(viewport[3], 32);
    Matrix4 projection{};
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    // Orthographic: 2 / (right - left) = 2 / 132, 2 / (top - bottom) = 2 / 88, -2 / (far - near) = -2 / 1320.
    EXPECT_NEAR(projection[0], 2.0f / 132, 1e-7f);
    EXPECT_NEAR(projection[5], 2.0f / 88, 1e-7f);
    EXPECT_NEAR(projection[10], -2.0f / 1320, 1e-7f);

    const Matrix4 rotation = trackball::rotationMatrix(trackball::axisAngle({1, 1, 0}, 0.8f));
    const std::array<float, 3> pan{3, -4, 5};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    camera.applyModelView(rotation, 75, pan);
    Matrix4 modelView{};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
    const Matrix4 expected = camera.modelView(rotation, 75, pan);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(modelView[i], expected[i], 1e-4f) << "element " << i;
}

} // namespace
} // namespace volumira

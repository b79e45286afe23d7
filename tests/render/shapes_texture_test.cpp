#include "GLTestContext.h"
#include "render/CursorShape.h"
#include "render/GLError.h"
#include "render/Shapes.h"
#include "render/TextureImage.h"

#include <cmath>
#include <functional>

namespace volumira {
namespace {

using test::GLTest;
using test::kContextSize;

// Window pixel of a point in -1..1 (identity matrices).
int toPixel(float v) {
    return static_cast<int>((v + 1) / 2 * kContextSize);
}

class ShapeTest : public GLTest {
  protected:
    // Draws the shape red with back faces culled and depth testing on, so that only faces wound
    // counter-clockwise towards the viewer (+z) remain: their depth is in the near half.
    void drawCulled(const std::function<void()>& draw) {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
        // Looking down -z with the GL's near plane at z = +1, so larger z is nearer.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glColor3f(1, 0, 0);
        draw();
    }

    void expectCovered(float x, float y) {
        expectColour(pixel(toPixel(x), toPixel(y)), 255, 0, 0);
        EXPECT_LT(depthAt(toPixel(x), toPixel(y)), 0.5f) << "front faces must be wound counter-clockwise";
    }
    void expectEmpty(float x, float y) { expectColour(pixel(toPixel(x), toPixel(y)), 0, 0, 0); }
};

TEST_F(ShapeTest, BoxIsScaledAndMoved) {
    drawCulled([] { BoxShape::box(0.1f, -0.2f, 0, 1.0f, 0.5f, 1.0f); });
    expectCovered(0.1f, -0.2f);
    expectCovered(0.55f, -0.4f);
    expectEmpty(0.65f, -0.2f);
    expectEmpty(0.1f, 0.1f);
    expectEmpty(0.1f, -0.5f);
}

TEST_F(ShapeTest, CubeIsTheBoxWithEqualSides) {
    drawCulled([] { BoxShape::cube(-0.5f, 0.5f, 0, 0.6f); });
    expectCovered(-0.5f, 0.5f);
    expectCovered(-0.25f, 0.75f);
    expectEmpty(-0.15f, 0.5f);
    expectEmpty(-0.5f, 0.15f);
}

TEST_F(ShapeTest, OctahedronAsFansAndAsTriangles) {
    for (bool asTriangles : {false, true}) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawCulled([asTriangles] {
            if (asTriangles) glBegin(GL_TRIANGLES);
            OctahedronShape::octahedron(0, 0, 0, 1.6f, asTriangles);
            if (asTriangles) glEnd();
        });
        // Vertices at 0.8 on each axis: a diamond |x| + |y| <= 0.8 seen from the front.
        expectCovered(0, 0);
        expectCovered(0.35f, 0.35f);
        expectCovered(-0.35f, -0.35f);
        expectCovered(0.7f, 0);
        expectEmpty(0.45f, 0.45f);
        expectEmpty(-0.45f, 0.45f);
    }
}

TEST_F(ShapeTest, IcosahedronInOwnAndCallersBatch) {
    for (bool ownBatch : {true, false}) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawCulled([ownBatch] {
            if (!ownBatch) glBegin(GL_TRIANGLES);
            IcosahedronShape::icosahedron(0.1f, 0, 0, 0.8f, ownBatch);
            if (!ownBatch) glEnd();
        });
        // The inscribed sphere (radius 0.79 r) is always covered, nothing beyond the circumradius.
        for (float angle = 0; angle < 6.28f; angle += 0.5f) {
            expectCovered(0.1f + 0.6f * std::cos(angle), 0.6f * std::sin(angle));
            if (std::fabs(0.1f + 0.85f * std::cos(angle)) < 0.98f)
                expectEmpty(0.1f + 0.85f * std::cos(angle), 0.85f * std::sin(angle));
        }
    }
}

TEST_F(ShapeTest, IcosahedronNormalsPointOutwards) {
    // Lit from the viewer, a sphere-like shading is brightest at the centre and dark at the rim.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat direction[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    drawCulled([] { IcosahedronShape::icosahedron(0, 0, 0, 0.9f, true); });
    const auto centre = pixel(toPixel(0), toPixel(0));
    const auto rim = pixel(toPixel(0.7f), toPixel(0));
    EXPECT_GT(centre[0], 190);
    EXPECT_LT(rim[0], centre[0] - 60);
}

TEST(TextureImage, StorageIsTheNextPowerOfTwo) {
    const std::pair<int, int> cases[] = {{1, 1},     {2, 2},     {3, 4},    {150, 256},
                                         {256, 256}, {257, 512}, {456, 512}};
    for (const auto& [size, storage] : cases)
        EXPECT_EQ(TextureImage::storageSize(size), storage) << size;
}

class TextureTest : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, kContextSize, 0, kContextSize, -1, 1);
        glMatrixMode(GL_MODELVIEW);
    }

    // 150 x 150: the top-left quadrant (first rows, first columns) red, the rest blue, written as BGRA.
    static void paintQuadrants(TextureImage& image) {
        for (int row = 0; row < image.height(); ++row)
            for (int column = 0; column < image.width(); ++column) {
                std::uint8_t* p = image.pixels() + (row * image.width() + column) * 4;
                const bool red = row < image.height() / 2 && column < image.width() / 2;
                p[0] = red ? 0 : 255;
                p[1] = 0;
                p[2] = red ? 255 : 0;
                p[3] = 255;
            }
    }
};

TEST_F(TextureTest, ImageOf150IsStoredAs256AndDrawnWithItsFirstRowOnTop) {
    TextureImage image;
    image.create(150, 150);
    EXPECT_EQ(image.storageWidth(), 256);
    EXPECT_EQ(image.storageHeight(), 256);
    EXPECT_NE(image.texture(), 0u);
    paintQuadrants(image);
    image.upload();

    // The source's top-left 75 x 75 red quadrant fills the destination only when texture coordinates are
    // divided by the 256 storage size.
    image.draw({0, 0, 75, 75}, {0, 0, 32, 32});
    expectColour(pixel(1, 1), 255, 0, 0);
    expectColour(pixel(30, 30), 255, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // The whole image at (-40, -50): the window shows columns 40..103 and rows 36..99, red above y = 25
    // and left of x = 35.
    glClear(GL_COLOR_BUFFER_BIT);
    image.drawAt(-40, -50);
    expectColour(pixel(10, 60), 255, 0, 0);
    expectColour(pixel(10, 10), 0, 0, 255);
    expectColour(pixel(60, 60), 0, 0, 255);
}

TEST_F(TextureTest, FillReleaseAndDrawingWithoutTexture) {
    TextureImage image;
    image.create(3, 5);
    EXPECT_EQ(image.storageWidth(), 4);
    EXPECT_EQ(image.storageHeight(), 8);
    image.fill(0xAB);
    for (int i = 0; i < 3 * 5 * 4; ++i)
        ASSERT_EQ(image.pixels()[i], 0xAB);
    image.upload();
    image.drawAt(10, 10);
    expectColour(pixel(11, 12), 0xAB, 0xAB, 0xAB);

    image.release();
    EXPECT_EQ(image.texture(), 0u);
    EXPECT_EQ(image.width(), 0);
    glClear(GL_COLOR_BUFFER_BIT);
    image.upload();
    image.drawAt(10, 10);
    expectColour(pixel(11, 12), 0, 0, 0);
    EXPECT_THROW(image.create(0, 4), std::invalid_argument);
}

TEST_F(TextureTest, UploadRecreatesATextureThatLostItsStorage) {
    TextureImage image;
    image.create(4, 4);
    image.fill(200);
    // Deleting the name behind the image's back leaves it naming an empty texture: the copy is refused.
    const GLuint name = image.texture();
    glDeleteTextures(1, &name);
    image.upload();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    image.drawAt(8, 8);
    expectColour(pixel(9, 9), 200, 200, 200);
}

TEST_F(GLTest, ErrorCheckReadsAndClearsThePendingError) {
    glEnable(0xFFFF); // not a capability
    EXPECT_EQ(checkGLError("Enable"), static_cast<unsigned>(GL_INVALID_ENUM));
    EXPECT_EQ(checkGLError("Enable"), static_cast<unsigned>(GL_NO_ERROR));
}

class RecordingCursor : public CursorShapeHandler {
  public:
    void applyCursorShape(CursorShape shape) override { shapes.push_back(shape); }
    std::vector<int> shapes;
};

TEST(CursorShape, CodesZeroToSixReachTheHandler) {
    setCursorShape(3); // no handler: nothing happens
    RecordingCursor cursor;
    setCursorShapeHandler(&cursor);
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, -1, 100})
        setCursorShape(code);
    setCursorShapeHandler(nullptr);
    EXPECT_EQ(cursor.shapes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

} // namespace
} // namespace volumira

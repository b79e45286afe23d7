#include "GLTestContext.h"
#include "RenderTestSupport.h"
#include "atlas/ColourMap.h"
#include "io/Image3d.h"
#include "render/CuttingPlaneRenderer.h"
#include "render/MPRRenderer.h"

namespace volumira {
namespace {

// Scene (x, y, z) seen as window (y, z): looking along axis 0 at coronal planes.
const GLfloat kAlongAxis0[16] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};

// Annotation and Nissl volumes of 10 x 40 x 40 voxels of 25 um (4 per 100 um scene unit), Bregma at
// voxel (5, 3, 2). Labels: CTX below z = 20, TH from there, none (0) from y = 30 on, and label 5, white
// in the colour table and unknown to the ontology, at one voxel. Nissl 100 everywhere but there (0).
class Sections {
  public:
    Sections() {
        std::string map;
        for (int i = 0; i < 256; ++i) {
            std::array<int, 3> c{i, 255 - i, 0};
            if (i == 0) c = {10, 20, 30};
            if (i == 2) c = {200, 60, 60};
            if (i == 3) c = {60, 200, 60};
            if (i == 5) c = {255, 255, 255};
            map += std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + "\n";
        }
        test::writeBytes(dir.file("atlas.map"), map);
        colours.load(dir.file("atlas.map"));
        for (int z = 0; z < 40; ++z)
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 10; ++x) {
                    const std::size_t v = x + y * 10 + z * 400;
                    annotation.data()[v] = y >= 30 ? 0 : z < 20 ? 2 : 3;
                    nissl.data()[v] = 100;
                }
        set(5, 12, 12, 5, 0);
    }

    void set(int x, int y, int z, std::uint8_t label, std::uint8_t stain) {
        annotation.data()[x + y * 10 + z * 400] = label;
        nissl.data()[x + y * 10 + z * 400] = stain;
    }

    SectionVolumes volumes() const { return {annotation, nissl, colours, ontology, {5, 3, 2}, 100.0f}; }

    test::TempDir dir;
    Ontology ontology = test::testOntology(dir);
    ColourMap colours;
    Image3d annotation{10, 40, 40, 25.0f};
    Image3d nissl{10, 40, 40, 25.0f};
};

// Red, green, blue of texel (column, row) of a composed slice.
std::array<int, 3> texel(const std::vector<std::uint8_t>& image, int columns, int column, int row) {
    const std::uint8_t* p = image.data() + (row * columns + column) * 4;
    EXPECT_EQ(p[3], 255);
    return {p[2], p[1], p[0]};
}

TEST(ComposeSlice, GreyTintGridAndBregma) {
    Sections s;
    std::vector<std::uint8_t> image(40 * 40 * 4);
    MPRRenderer::composeSlice(s.volumes(), 0, 5, nullptr, 0.5f, image.data());
    struct Case {
        int column, row;
        std::array<int, 3> rgb;
    };
    // Each channel (grey + tint) >> 1 at alpha 0.5; grey 255 - 100 off the grid, 3 x 100 / 4 on it.
    const Case cases[] = {
        {10, 10, {177, 107, 107}}, // CTX
        {10, 38, {67, 137, 67}},   // TH on the grid row 2 + 36
        {3, 38, {37, 37, 137}},    // Bregma column, also on the grid: blue wins
        {10, 2, {37, 37, 137}},    // Bregma row
        {31, 10, {82, 87, 92}},    // label 0 uses colour entry 0
        {12, 12, {255, 255, 255}}, // Nissl 0 in a white structure
    };
    for (const Case& c : cases)
        EXPECT_EQ(texel(image, 40, c.column, c.row), c.rgb) << c.column << ", " << c.row;
}

TEST(ComposeSlice, SelectedSubtreeIsTintedGreen) {
    Sections s;
    std::vector<std::uint8_t> image(40 * 40 * 4);
    MPRRenderer::composeSlice(s.volumes(), 0, 5, &s.ontology.root(), 0.5f, image.data());
    EXPECT_EQ(texel(image, 40, 10, 10), (std::array<int, 3>{77, 205, 77})); // CTX under root
    EXPECT_EQ(texel(image, 40, 10, 30), (std::array<int, 3>{77, 205, 77})); // TH under root
    EXPECT_EQ(texel(image, 40, 31, 10), (std::array<int, 3>{82, 87, 92}));  // label 0 never
    EXPECT_EQ(texel(image, 40, 10, 2), (std::array<int, 3>{37, 37, 137}));  // Bregma stays blue
    MPRRenderer::composeSlice(s.volumes(), 0, 5, s.ontology.structureByAcronym("CTX"), 0.5f, image.data());
    EXPECT_EQ(texel(image, 40, 10, 10), (std::array<int, 3>{77, 205, 77}));
    EXPECT_EQ(texel(image, 40, 10, 30), (std::array<int, 3>{107, 177, 107})); // TH is not under CTX
}

TEST(ComposeSlice, BlendFactorWeighsNisslAgainstTint) {
    Sections s;
    std::vector<std::uint8_t> image(40 * 40 * 4);
    const std::pair<float, int> cases[] = {{1.0f, 155}, {0.0f, 200}, {0.25f, 188}};
    for (const auto& [alpha, red] : cases) {
        MPRRenderer::composeSlice(s.volumes(), 0, 5, nullptr, alpha, image.data());
        EXPECT_EQ(texel(image, 40, 10, 10)[0], red) << alpha;
    }
}

TEST(ComposeSlice, ColumnsAndRowsOfEachAxis) {
    Sections s;
    s.set(7, 12, 25, 3, 200); // TH, grey 55: (55 + 60) >> 1, (55 + 200) >> 1
    const std::array<int, 3> expected{57, 127, 57};
    std::vector<std::uint8_t> image(40 * 40 * 4);
    MPRRenderer::composeSlice(s.volumes(), 0, 7, nullptr, 0.5f, image.data());
    EXPECT_EQ(texel(image, 40, 12, 25), expected);
    MPRRenderer::composeSlice(s.volumes(), 1, 12, nullptr, 0.5f, image.data());
    EXPECT_EQ(texel(image, 10, 7, 25), expected);
    MPRRenderer::composeSlice(s.volumes(), 2, 25, nullptr, 0.5f, image.data());
    EXPECT_EQ(texel(image, 10, 7, 12), expected);
}

class SectionPlaneTest : public test::GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        // 16 scene units across 64 pixels: one annotation voxel per pixel.
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, 16, 0, 16, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(kAlongAxis0);
    }
    Sections s;
    test::TestModel model;
};

TEST_F(SectionPlaneTest, SliceOfAPosition) {
    MPRRenderer mpr(model, s.volumes());
    const std::pair<float, int> cases[] = {{0, 0},     {1.1f, 4}, {1.125f, 5}, {2.2f, 9},
                                           {2.49f, 9}, {100, 9},  {-3, 0}};
    for (const auto& [position, slice] : cases)
        EXPECT_EQ(mpr.sliceIndex(0, position), slice) << position;
    EXPECT_EQ(mpr.sliceIndex(1, 5), 20);
    EXPECT_EQ(mpr.texture(0).storageWidth(), 64);
    EXPECT_EQ(mpr.texture(1).width(), 10);
    EXPECT_EQ(mpr.texture(1).storageWidth(), 16);
    EXPECT_EQ(mpr.texture(2).height(), 40);
}

TEST_F(SectionPlaneTest, CoronalPlaneShowsItsComposedSlice) {
    MPRRenderer mpr(model, s.volumes());
    model.setSectionPosition(0, 1.25f, false);
    mpr.drawSections(0);
    expectColour(pixel(10, 10), 0, 0, 0); // not shown yet
    model.setDisplayFlag(0, true, false);
    mpr.drawSections(0);
    expectColour(pixel(10, 10), 177, 107, 107);
    expectColour(pixel(10, 38), 67, 137, 67);
    expectColour(pixel(3, 20), 37, 37, 137);
    expectColour(pixel(12, 12), 255, 255, 255);
    expectColour(pixel(40, 20), 64, 64, 64, 3); // the outline half a voxel outside
    EXPECT_EQ(pickAt(10, 10, [&] { mpr.drawSections(7); }), std::vector<GLuint>{7});
}

TEST_F(SectionPlaneTest, SelectionShowsAfterInvalidation) {
    MPRRenderer mpr(model, s.volumes());
    model.setDisplayFlag(0, true, false);
    model.setSectionPosition(0, 1.25f, false);
    mpr.drawSections(0);
    model.setHighlightedStructure(&s.ontology.root(), false);
    mpr.drawSections(0);
    expectColour(pixel(10, 10), 177, 107, 107); // the cached slice is reused
    mpr.invalidateSlices();
    mpr.drawSections(0);
    expectColour(pixel(10, 10), 77, 205, 77);
}

TEST_F(SectionPlaneTest, VolumesMustBeLoadedAndAlike) {
    Image3d unloaded, smaller(10, 40, 39, 25.0f);
    EXPECT_THROW(MPRRenderer(model, SectionVolumes{unloaded, s.nissl, s.colours, s.ontology, {0, 0, 0}, 100}),
                 std::invalid_argument);
    EXPECT_THROW(
        MPRRenderer(model, SectionVolumes{s.annotation, smaller, s.colours, s.ontology, {0, 0, 0}, 100}),
        std::invalid_argument);
}

// One pixel per scene unit of the coarse grid.
class ClipBoxTest : public test::GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, 64, 0, 64, -200, 200);
        glMatrixMode(GL_MODELVIEW);
        model.setClippingPlane(0, 10, true, false);
        model.setClippingPlane(0, 50, false, false);
        model.setClippingPlane(1, 5, true, false);
        model.setClippingPlane(1, 40, false, false);
        model.setClippingPlane(2, 20, true, false);
        model.setClippingPlane(2, 60, false, false);
    }
    test::TestModel model;
    CuttingPlaneRenderer box{model, {133, 81, 115}};
};

TEST_F(ClipBoxTest, FacesArePickedByName) {
    // Along axis 0 the faces of axis 0 cover y 5..40 and z 20..60; the others are seen edge-on.
    glLoadMatrixf(kAlongAxis0);
    EXPECT_EQ(pickAt(20, 30, [&] { box.drawClipBox(true, 1); }), (std::vector<GLuint>{1, 4}));
    glLoadIdentity(); // along axis 2
    EXPECT_EQ(pickAt(30, 20, [&] { box.drawClipBox(true, 1); }), (std::vector<GLuint>{3, 6}));
    EXPECT_EQ(pickAt(30, 20, [&] { box.drawClipBox(true, 0); }), (std::vector<GLuint>{2, 5}));
    EXPECT_TRUE(pickAt(60, 20, [&] { box.drawClipBox(true, 1); }).empty());
}

TEST_F(ClipBoxTest, OutlinesAreGreen) {
    glLoadMatrixf(kAlongAxis0);
    glTranslatef(0, 0.5f, 0.5f); // lines through pixel centres
    box.drawClipBox(false, 0);
    expectColour(pixel(5, 30), 0, 128, 0);
    expectColour(pixel(40, 30), 0, 128, 0);
    expectColour(pixel(20, 20), 0, 128, 0);
    expectColour(pixel(20, 30), 0, 0, 0);
}

TEST_F(ClipBoxTest, ClipPlanesCutGeometryAndPicking) {
    const auto slab = [] {
        glColor3f(1, 1, 1);
        glBegin(GL_QUADS);
        glVertex3f(0, 0, 30);
        glVertex3f(64, 0, 30);
        glVertex3f(64, 64, 30);
        glVertex3f(0, 64, 30);
        glEnd();
    };
    box.setClipPlanes(true);
    slab();
    expectColour(pixel(30, 20), 255, 255, 255);
    expectColour(pixel(11, 20), 255, 255, 255);
    expectColour(pixel(9, 20), 0, 0, 0);  // x < 10.1
    expectColour(pixel(50, 20), 0, 0, 0); // x > 49.9
    expectColour(pixel(30, 4), 0, 0, 0);  // y < 5.1
    expectColour(pixel(30, 40), 0, 0, 0); // y > 39.9
    EXPECT_FALSE(pickAt(30, 20, slab).empty());
    EXPECT_TRUE(pickAt(9, 20, slab).empty());

    // Faces on the volume's boundary clip nothing.
    model.setClippingPlane(0, 0, true, false);
    model.setClippingPlane(0, 132, false, false);
    box.setClipPlanes(true);
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE1));
    EXPECT_TRUE(glIsEnabled(GL_CLIP_PLANE2));
    EXPECT_TRUE(glIsEnabled(GL_CLIP_PLANE5));
    box.setClipPlanes(false);
    for (int plane = 0; plane < 6; ++plane)
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0 + plane));
}

} // namespace
} // namespace volumira

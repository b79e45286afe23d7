#include "GLTestContext.h"
#include "RenderTestSupport.h"
#include "atlas/Mesh.h"
#include "render/BrainMeshSet.h"
#include "render/MeshGl.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <thread>

namespace volumira {
namespace {

// Scene units are a quarter of the mesh files' units; the view shows 0..16 scene units, so one file
// unit is one pixel.
class MeshSetTest : public test::GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, 16, 0, 16, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        // Only faces wound counter-clockwise towards the viewer survive.
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        std::filesystem::create_directories(meshDir);
    }

    static MeshVertex at(float x, float y) { return {{0, 0, 1}, {x, y, 0}}; }

    // A square 8..24 as one strip of four (its second triangle is wound the other way round in the
    // strip's index order), a strip too short to draw and a lone triangle at 8..16 x 40..48.
    void writeCortex() {
        Mesh mesh;
        mesh.vertices = {at(8, 8), at(24, 8), at(8, 24), at(24, 24), at(8, 40), at(16, 40), at(8, 48)};
        mesh.strips = {{0, 1, 2, 3}, {4, 5}, {4, 5, 6}};
        mesh.writeMesh(meshDir + "CTX.msh");
    }

    // A strip of six over 40..56 x 8..40 first, so every strip goes out as a triangle strip, then a
    // triangle at 40..48 x 48..56.
    void writeHypothalamus() {
        Mesh mesh;
        mesh.vertices = {at(40, 8),  at(56, 8),  at(40, 24), at(56, 24), at(40, 40),
                         at(56, 40), at(40, 48), at(48, 48), at(40, 56)};
        mesh.strips = {{0, 1, 2, 3, 4, 5}, {6, 7, 8}};
        mesh.writeMesh(meshDir + "HY.msh");
    }

    StructureSet bitsOf(std::initializer_list<const char*> acronyms) const {
        StructureSet set;
        for (const char* acronym : acronyms)
            set.unite(ontology.structureByAcronym(acronym)->selfSet);
        return set;
    }

    const Structure& structure(const char* acronym) const { return *ontology.structureByAcronym(acronym); }

    test::TempDir dir;
    Ontology ontology = test::testOntology(dir);
    std::string meshDir = dir.file("Mesh25/");
};

TEST_F(MeshSetTest, StructuresInTreeOrder) {
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    ASSERT_EQ(meshes.structures().size(), 4u);
    const char* expected[] = {"root", "CTX", "TH", "HY"};
    for (std::size_t p = 0; p < 4; ++p)
        EXPECT_EQ(meshes.structures()[p]->acronym, expected[p]);
}

TEST_F(MeshSetTest, DrawsStripsWithTheirWindingInStructureColours) {
    writeCortex();
    writeHypothalamus();
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    meshes.draw(bitsOf({"CTX", "HY"}), nullptr, 0);
    // Colour x 0.7: CTX (200, 60, 60), HY (60, 60, 200).
    expectColour(pixel(12, 12), 140, 42, 42);
    expectColour(pixel(20, 20), 140, 42, 42); // the strip's second triangle
    expectColour(pixel(10, 42), 140, 42, 42);
    expectColour(pixel(14, 34), 0, 0, 0);
    for (int y : {10, 20, 30, 38})
        for (int x : {42, 54})
            expectColour(pixel(x, y), 42, 42, 140);
    expectColour(pixel(42, 50), 42, 42, 140);
    expectColour(pixel(30, 30), 0, 0, 0);
}

TEST_F(MeshSetTest, HighlightedStructureIsGreen) {
    writeCortex();
    writeHypothalamus();
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    meshes.draw(bitsOf({"CTX", "HY"}), &structure("CTX"), 0);
    expectColour(pixel(12, 12), 0, 204, 0);
    expectColour(pixel(42, 10), 42, 42, 140);
}

TEST_F(MeshSetTest, PickingNameIsNameBasePlusStructureIndex) {
    writeCortex();
    writeHypothalamus();
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    const StructureSet both = bitsOf({"CTX", "HY"});
    EXPECT_EQ(pickAt(12, 12, [&] { meshes.draw(both, nullptr, 10); }), std::vector<GLuint>{12});
    EXPECT_EQ(pickAt(50, 30, [&] { meshes.draw(both, nullptr, 10); }), std::vector<GLuint>{14});
    EXPECT_TRUE(pickAt(30, 30, [&] { meshes.draw(both, nullptr, 10); }).empty());

    // The picking path leaves out meshes outside the pick region and finds the same names.
    meshes.loadAll(both);
    const auto picked = [&](int x, int y) { return pickAt(x, y, [&] { meshes.drawForPicking(both, 10); }); };
    EXPECT_EQ(picked(12, 12), std::vector<GLuint>{12});
    EXPECT_EQ(picked(50, 30), std::vector<GLuint>{14});
    EXPECT_EQ(picked(45, 50), std::vector<GLuint>{14}) << "the lone triangle after the strip";
    EXPECT_TRUE(picked(30, 30).empty());
    EXPECT_TRUE(picked(20, 44).empty()) << "inside the cortex's bounds but on none of its triangles";
    // Under a model-view that moves the scene 2 units (8 pixels) right and 1 (4 pixels) up, the regions
    // move too; the hypothalamus is hit where its unmoved bounds would have ruled it out.
    glPushMatrix();
    glTranslatef(2, 1, 0);
    EXPECT_EQ(picked(20, 20), std::vector<GLuint>{12});
    EXPECT_EQ(picked(58, 30), std::vector<GLuint>{14});
    EXPECT_TRUE(picked(10, 10).empty());
    glPopMatrix();
}

TEST(MeshBoundsTest, BoxesOutsideTheClipVolumeAreTold) {
    Mesh mesh;
    mesh.vertices = {{{0, 0, 1}, {1, 2, 3}}, {{0, 0, 1}, {-1, 5, 0}}, {{0, 0, 1}, {0, 3, 4}}};
    const MeshBounds box = boundsOf(mesh);
    EXPECT_FALSE(box.empty);
    EXPECT_EQ(std::vector<float>(box.low, box.low + 3), (std::vector<float>{-1, 2, 0}));
    EXPECT_EQ(std::vector<float>(box.high, box.high + 3), (std::vector<float>{1, 5, 4}));
    EXPECT_TRUE(boundsOf(Mesh{}).empty);

    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // x scaled by 2 and moved by 3 (column-major), w = 1: inside is -2 <= x <= -1 in box units.
    const float shifted[16] = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1};
    // A perspective-like matrix with w = -z: points with z >= 0 are behind the eye.
    const float perspective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, -1, 0, 0, -0.2f, 0};
    const auto boxOf = [](std::array<float, 3> low, std::array<float, 3> high) {
        MeshBounds b;
        std::copy(low.begin(), low.end(), b.low);
        std::copy(high.begin(), high.end(), b.high);
        b.empty = false;
        return b;
    };
    const struct {
        const char* what;
        const float* matrix;
        MeshBounds box;
        bool outside;
    } cases[] = {
        {"inside", identity, boxOf({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}), false},
        {"larger than the volume", identity, boxOf({-9, -9, -9}, {9, 9, 9}), false},
        {"crossing one face", identity, boxOf({0.9f, 0, 0}, {3, 0.1f, 0.1f}), false},
        {"beyond +x", identity, boxOf({1.1f, 0, 0}, {3, 0.1f, 0.1f}), true},
        {"beyond -y", identity, boxOf({0, -3, 0}, {0.1f, -1.01f, 0.1f}), true},
        {"beyond far z", identity, boxOf({0, 0, 2}, {0.1f, 0.1f, 3}), true},
        {"moved into view", shifted, boxOf({-1.9f, 0, 0}, {-1.1f, 0.1f, 0.1f}), false},
        {"moved out of view", shifted, boxOf({-0.9f, 0, 0}, {0, 0.1f, 0.1f}), true},
        {"in front of the eye", perspective, boxOf({-0.1f, -0.1f, -2}, {0.1f, 0.1f, -1}), false},
        {"behind the eye", perspective, boxOf({-0.1f, -0.1f, 1}, {0.1f, 0.1f, 2}), true},
        {"empty", identity, MeshBounds{}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(boxOutsideClipVolume(c.matrix, c.box), c.outside) << c.what;
}

TEST_F(MeshSetTest, MeshesAreReadLazilyAndMissingOnesRetried) {
    writeCortex();
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    meshes.draw(StructureSet{}, nullptr, 0);
    for (std::size_t p = 0; p < 4; ++p)
        EXPECT_FALSE(meshes.isLoaded(p));

    // TH has no file: skipped without an error, CTX drawn.
    EXPECT_NO_THROW(meshes.draw(bitsOf({"CTX", "TH"}), nullptr, 0));
    EXPECT_TRUE(meshes.isLoaded(1));
    EXPECT_FALSE(meshes.isLoaded(2));
    EXPECT_FALSE(meshes.isLoaded(3));
    expectColour(pixel(12, 12), 140, 42, 42);

    // A damaged file is skipped too; once a good one appears the next draw reads it.
    test::writeBytes(meshDir + "TH.msh", std::string("\x05\x00\x00\x00\x01", 5));
    EXPECT_NO_THROW(meshes.draw(bitsOf({"TH"}), nullptr, 0));
    EXPECT_FALSE(meshes.isLoaded(2));
    Mesh mesh;
    mesh.vertices = {at(40, 48), at(56, 48), at(40, 60)};
    mesh.strips = {{0, 1, 2}};
    mesh.writeMesh(meshDir + "TH.msh");
    meshes.draw(bitsOf({"TH"}), nullptr, 0);
    EXPECT_TRUE(meshes.isLoaded(2));
    expectColour(pixel(42, 50), 42, 140, 42);
}

TEST_F(MeshSetTest, MeshesAreReadAheadAndCompiledAgainWhenTheirContextFreedTheLists) {
    writeCortex();
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    meshes.prefetch(bitsOf({"CTX"}));
    for (int i = 0; i < 2000 && meshes.reading(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(meshes.reading());
    // What the draw shows was read before it: the file is no longer there to read.
    std::filesystem::remove(meshDir + "CTX.msh");
    meshes.draw(bitsOf({"CTX"}), nullptr, 0);
    EXPECT_TRUE(meshes.isLoaded(1));
    expectColour(pixel(12, 12), 140, 42, 42);

    // The context takes its objects back; the next draw compiles the kept meshes again.
    test::glContext().objects().releaseAll();
    ASSERT_TRUE(test::glContext().makeCurrent());
    glClear(GL_COLOR_BUFFER_BIT);
    meshes.draw(bitsOf({"CTX"}), nullptr, 0);
    expectColour(pixel(12, 12), 140, 42, 42);
}

TEST_F(MeshSetTest, EmptyMeshCompilesToAnEmptyList) {
    Mesh().writeMesh(meshDir + "root.msh");
    BrainMeshSet meshes(ontology, ontology.root(), meshDir);
    meshes.draw(bitsOf({"root"}), nullptr, 0);
    EXPECT_TRUE(meshes.isLoaded(0));
    for (int y = 4; y < 64; y += 12)
        for (int x = 4; x < 64; x += 12)
            expectColour(pixel(x, y), 0, 0, 0);
}

TEST_F(MeshSetTest, EmitKeepsEveryStripTriangleFacingTheSameWay) {
    // A long zigzag strip of short strips (batched triangles) and the same as one strip: both must
    // cover the whole band 0..64 x 16..32 with every triangle counter-clockwise.
    Mesh mesh;
    for (int i = 0; i <= 8; ++i) {
        mesh.vertices.push_back({{0, 0, 1}, {i * 2.0f, 8, 0}});
        mesh.vertices.push_back({{0, 0, 1}, {i * 2.0f, 4, 0}});
    }
    std::vector<std::int32_t> all;
    for (int i = 0; i < 18; ++i)
        all.push_back(i);
    for (bool batched : {true, false}) {
        glClear(GL_COLOR_BUFFER_BIT);
        mesh.strips.clear();
        if (batched) {
            for (int k = 0; k + 4 <= 18; k += 2)
                mesh.strips.push_back({k, k + 1, k + 2, k + 3});
        } else {
            mesh.strips.push_back(all);
        }
        glColor3f(1, 1, 1);
        emitGl(mesh);
        for (int x = 1; x < 64; x += 2)
            for (int y : {17, 24, 31})
                expectColour(pixel(x, y), 255, 255, 255);
    }
}

} // namespace
} // namespace volumira

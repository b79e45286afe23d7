// The test makes its own framebuffer objects; must precede every GL header.
#define GL_GLEXT_PROTOTYPES 1

#include "GLTestContext.h"
#include "RenderTestSupport.h"
#include "expression/ModelRecorder.h"
#include "io/Image3d.h"
#include "render/MovePlaneMouseTool.h"

namespace volumira {
namespace {

using test::RecordingOwner;

// The view shows scene x 0..6.4 and y 0..6.4 over 64 pixels (0.1 unit per pixel), depth 0.5 at z = 0.
// The annotation has 4 voxels per scene unit (a quarter unit as the minimum step): CTX where voxel
// y >= 4 (scene y >= 1), TH below, label 0 in the slab voxel z >= 8.
class MovePlaneTest : public test::GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        glOrtho(0, 6.4, 0, 6.4, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glClearDepth(0.5);
        glClear(GL_DEPTH_BUFFER_BIT);
        for (int z = 0; z < 12; ++z)
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x)
                    annotation.data()[x + y * 40 + z * 1600] = z >= 8 ? 0 : y >= 4 ? 2 : 3;
        tool.setOwner(&owner);
        tool.setAnnotation(&annotation, &ontology);
    }

    BrainExpressionModel& model() { return owner.testModel; }
    // Window pixel row of a scene y (pointer rows grow downwards).
    static int rowOf(float sceneY) { return test::kContextSize - 1 - static_cast<int>(sceneY * 10); }

    test::TempDir dir;
    Ontology ontology = test::testOntology(dir);
    Image3d annotation{40, 40, 12, 25.0f};
    RecordingOwner owner;
    MovePlaneMouseTool tool{0.25f};
};

TEST_F(MovePlaneTest, ClickSelectsTheStructureUnderThePointerWithin500Ms) {
    struct Case {
        float sceneY;
        std::uint32_t heldMs;
        const char* expected; // null: nothing selected
    };
    const Case cases[] = {
        {2.0f, 500, "CTX"},
        {2.0f, 501, nullptr},
        {0.5f, 0, "TH"},
        {0.5f, 10000, nullptr},
    };
    for (const Case& c : cases) {
        model().setHighlightedStructure(nullptr, false);
        model().setSectionPosition(0, 3.0f, false);
        tool.selectSectionPlane(0);
        const int row = rowOf(c.sceneY);
        EXPECT_TRUE(tool.mouseDown(0, 20, row, 0, 0xFFFFFF00u));
        const bool handled = tool.mouseUp(0, 20, row, 0, 0xFFFFFF00u + c.heldMs);
        EXPECT_EQ(handled, c.expected != nullptr);
        const Structure* selected = model().highlightedStructure();
        if (c.expected) {
            ASSERT_NE(selected, nullptr) << c.sceneY << " " << c.heldMs;
            EXPECT_EQ(selected->acronym, c.expected);
        } else {
            EXPECT_EQ(selected, nullptr) << c.sceneY << " " << c.heldMs;
        }
    }
}

TEST_F(MovePlaneTest, ClickReadsTheDepthUnderThePointer) {
    model().setSectionPosition(0, 3.0f, false);
    tool.selectSectionPlane(0);
    // Depth 0.5 is scene z 0: CTX.
    EXPECT_TRUE(tool.mouseDown(0, 20, rowOf(2), 0, 0));
    EXPECT_TRUE(tool.mouseUp(0, 20, rowOf(2), 0, 100));
    ASSERT_NE(model().highlightedStructure(), nullptr);
    EXPECT_EQ(model().highlightedStructure()->acronym, "CTX");

    // Depth 0.25 is scene z 5, voxel 20, clamped to the last slab: label 0 clears the selection.
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    EXPECT_TRUE(tool.mouseDown(0, 20, rowOf(2), 0, 0));
    EXPECT_TRUE(tool.mouseUp(0, 20, rowOf(2), 0, 100));
    EXPECT_EQ(model().highlightedStructure(), nullptr);

    // On a plane of axis 2 the plane's position replaces the depth: z 0 again.
    model().setHighlightedStructure(nullptr, false);
    model().setSectionPosition(2, 0.0f, false);
    tool.selectSectionPlane(2);
    EXPECT_TRUE(tool.mouseDown(0, 20, rowOf(2), 0, 0));
    EXPECT_TRUE(tool.mouseUp(0, 20, rowOf(2), 0, 100));
    ASSERT_NE(model().highlightedStructure(), nullptr);
    EXPECT_EQ(model().highlightedStructure()->acronym, "CTX");
}

// A view drawn with multisampling draws into a framebuffer object of several samples per pixel, made as
// the toolkit makes it (a combined depth and stencil buffer); its depth cannot be read pixel by pixel.
TEST_F(MovePlaneTest, ClickReadsTheDepthOfAMultisampledFramebuffer) {
    GLint maxSamples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    if (maxSamples < 2) GTEST_SKIP() << "the driver offers no multisampling";
    GLuint buffers[2] = {}, framebuffer = 0;
    glGenRenderbuffers(2, buffers);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers[0]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, 4, GL_RGBA8, test::kContextSize, test::kContextSize);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers[1]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, 4, GL_DEPTH24_STENCIL8, test::kContextSize, test::kContextSize);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    ASSERT_GT(samples, 0);
    // Depth 0.5 is scene z 0: CTX. The depth the failed read leaves (0) would be scene z 10, the slab of
    // label 0, which selects nothing.
    glClearDepth(0.5);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    model().setSectionPosition(0, 3.0f, false);
    tool.selectSectionPlane(0);
    EXPECT_TRUE(tool.mouseDown(0, 20, rowOf(2), 0, 0));
    EXPECT_TRUE(tool.mouseUp(0, 20, rowOf(2), 0, 100));
    ASSERT_NE(model().highlightedStructure(), nullptr);
    EXPECT_EQ(model().highlightedStructure()->acronym, "CTX");
    // The read leaves the view's framebuffer bound.
    GLint bound = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), framebuffer);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(2, buffers);
    ASSERT_TRUE(test::glContext().makeCurrent());
}

TEST_F(MovePlaneTest, DragMovesOnlyAlongTheAxisInWholeSteps) {
    model().setSectionPosition(0, 3.0f, false);
    tool.selectSectionPlane(0);
    tool.mouseDown(0, 20, 30, 0, 0);
    // 2 pixels = 0.2 units: under one voxel (0.25), nothing moves.
    EXPECT_TRUE(tool.mouseMove(22, 30, 0, 10));
    EXPECT_FLOAT_EQ(model().sectionPosition(0), 3.0f);
    // Motion across the axis never counts.
    tool.mouseMove(22, 10, 0, 20);
    EXPECT_FLOAT_EQ(model().sectionPosition(0), 3.0f);
    // Small motions add up: 0.4 units from the press point.
    tool.mouseMove(24, 10, 0, 30);
    EXPECT_NEAR(model().sectionPosition(0), 3.4f, 1e-4f);
    tool.mouseMove(21, 10, 0, 40);
    EXPECT_NEAR(model().sectionPosition(0), 3.1f, 1e-4f);
    // A drag is not a click even when released quickly.
    EXPECT_FALSE(tool.mouseUp(0, 21, 10, 0, 50));
    EXPECT_EQ(model().highlightedStructure(), nullptr);
}

TEST_F(MovePlaneTest, ClipFaceDragIsInteractiveUntilRelease) {
    tool.selectClipFace(1, false);
    EXPECT_TRUE(model().auxiliaryFlag());
    EXPECT_FLOAT_EQ(tool.planePosition(), 80.0f);
    tool.mouseDown(0, 10, 10, 0, 0);
    tool.mouseMove(10, 30, 0, 10); // pointer down = scene y down by 2 units
    EXPECT_NEAR(model().clippingPlane(1, false), 78.0f, 1e-4f);
    EXPECT_FLOAT_EQ(model().clippingPlane(1, true), 0.0f);
    EXPECT_FALSE(tool.mouseUp(0, 10, 30, 0, 20));
    EXPECT_FALSE(model().auxiliaryFlag());
    EXPECT_EQ(owner.rebuilds, 1);
}

// The steps of a clipping drag move the face unannounced; its end, by release or by the loss of the
// mouse, tells every listener of the face's axis once.
TEST_F(MovePlaneTest, AClippingDragIsAnnouncedOnceWhenItEnds) {
    for (bool released : {true, false}) {
        SCOPED_TRACE(released ? "released" : "mouse lost");
        test::ModelRecorder recorder;
        model().addListener(&recorder);
        tool.selectClipFace(1, false);
        const float start = model().clippingPlane(1, false);
        tool.mouseDown(0, 10, 10, 0, 0);
        tool.mouseMove(10, 20, 0, 10);
        tool.mouseMove(10, 30, 0, 20);
        EXPECT_NEAR(model().clippingPlane(1, false), start - 2.0f, 1e-4f);
        EXPECT_TRUE(recorder.events.empty());
        if (released)
            tool.mouseUp(0, 10, 30, 0, 30);
        else
            tool.mouseCaptureLost();
        EXPECT_EQ(recorder.events, (std::vector<test::ModelRecorder::Event>{
                                       test::ModelRecorder::of(ModelEvent::ClippingPlaneChanged, 1)}));
        EXPECT_FALSE(model().auxiliaryFlag());
        model().removeListener(&recorder);
    }
}

} // namespace
} // namespace volumira

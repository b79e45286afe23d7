#include "expression/TestModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/ExpressionFixture.h"
#include "render/ExpressionRenderer.h"
#include "render/GLFixture.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::Rgb;

// Two cells of 20 expressors, level 102 in the cortex at scene (10, 20) and level 20 in the thalamus at
// (30, 20): pixels (50, 100) and (150, 100).
class ExpressionRenderTest : public test::GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        gene_ = fixture_.gene(
            {{10, 20, 30, 102.0f, 20, test::kCortex}, {30, 20, 30, 20.0f, 20, test::kThalamus}});
        gene_->setColour(0.8f, 0.4f, 0.2f);
        model_.setGeneColourMode(kColourGene, false);
        model_.setExpressorThreshold(0.0f, -1.0f, false);
        renderer_ = std::make_unique<ExpressionRenderer>(model_, *gene_, preferences_, fixture_.tables());
        sceneProjection();
    }
    void TearDown() override {
        renderer_.reset(); // deletes its lists while the context is current
        GLFixture::TearDown();
    }

    // Draws unlit, as colours are compared exactly.
    void draw() {
        clear();
        glDisable(GL_LIGHTING);
        renderer_->drawCells(false);
        glFinish();
    }
    Rgb cortexPixel() { return pixel(50, 100); }
    Rgb thalamusPixel() { return pixel(150, 100); }

    test::ExpressionFixture fixture_;
    std::unique_ptr<GeneExpression> gene_;
    test::TestModel model_;
    MemorySettingsStore store_;
    UserPreferences preferences_{store_, PreferencesEnvironment::ofProcess()};
    std::unique_ptr<ExpressionRenderer> renderer_;
};

TEST_F(ExpressionRenderTest, ColourOfAnExpressorInEachMode) {
    const Rgb black{0, 0, 0};
    struct Case {
        int mode;
        Rgb cortex, thalamus;
    };
    const Case cases[] = {
        {kColourGene, {204, 102, 51}, {204, 102, 51}},
        {kColourAtlas, {140, 42, 42}, {42, 140, 42}}, // structure colours × 0.7
        {kColourLevel, {102, 153, 100}, black},       // level 20 is black in the level table
        {kColourJet, {255, 102, 0}, {255, 20, 0}},
    };
    for (const Case& c : cases) {
        model_.setGeneColourMode(c.mode, false);
        renderer_->checkColourMode(false);
        draw();
        EXPECT_TRUE(near(cortexPixel(), c.cortex)) << "mode " << c.mode;
        EXPECT_TRUE(near(thalamusPixel(), c.thalamus)) << "mode " << c.mode;
    }
}

TEST_F(ExpressionRenderTest, FastDrawingDimsByLevel) {
    preferences_.setFasterLowerQualityExpressorDrawing(true);
    renderer_->checkColourMode(true);
    draw();
    // The gene colour × 102 / 255.
    EXPECT_TRUE(near(cortexPixel(), {82, 41, 20}));
}

TEST_F(ExpressionRenderTest, SwitchingBetweenGeneAndAtlasColoursKeepsTheLists) {
    draw();
    EXPECT_FALSE(renderer_->isDirty());
    model_.setGeneColourMode(kColourAtlas, false);
    renderer_->checkColourMode(false);
    EXPECT_FALSE(renderer_->isDirty());
    draw();
    EXPECT_TRUE(near(cortexPixel(), {140, 42, 42}));
    model_.setGeneColourMode(kColourJet, false);
    renderer_->checkColourMode(false);
    EXPECT_TRUE(renderer_->isDirty());
    // With fast drawing every mode change rebuilds.
    draw();
    preferences_.setFasterLowerQualityExpressorDrawing(true);
    model_.setGeneColourMode(kColourAtlas, false);
    renderer_->checkColourMode(false);
    draw();
    model_.setGeneColourMode(kColourGene, false);
    renderer_->checkColourMode(false);
    EXPECT_TRUE(renderer_->isDirty());
}

TEST_F(ExpressionRenderTest, ThresholdsAndClippingApplyAtTheNextBuild) {
    model_.setLevelThreshold(50.0f, -1.0f, false);
    draw();
    EXPECT_FALSE(near(cortexPixel(), {0, 0, 0}));
    EXPECT_TRUE(near(thalamusPixel(), {0, 0, 0}, 0));
    model_.setLevelThreshold(0.0f, -1.0f, false);
    model_.setClippingPlane(0, 20.0f, false, false);
    renderer_->markDirty();
    draw();
    EXPECT_FALSE(near(cortexPixel(), {0, 0, 0}));
    EXPECT_TRUE(near(thalamusPixel(), {0, 0, 0}, 0));
    model_.setExpressorThreshold(21.0f, -1.0f, false);
    renderer_->markDirty();
    draw();
    EXPECT_TRUE(near(cortexPixel(), {0, 0, 0}, 0));
}

TEST_F(ExpressionRenderTest, StructureFilterNeedsNoRebuild) {
    draw();
    model_.setExpressionStructures(fixture_.ontology().structureAt(test::kThalamus).selfSet, false);
    draw();
    EXPECT_TRUE(near(cortexPixel(), {0, 0, 0}, 0));
    EXPECT_FALSE(near(thalamusPixel(), {0, 0, 0}));
}

TEST_F(ExpressionRenderTest, HiddenGeneDrawsNothing) {
    gene_->setVisible(false);
    draw();
    EXPECT_TRUE(near(cortexPixel(), {0, 0, 0}, 0));
}

TEST_F(ExpressionRenderTest, InteractiveChangeDrawsDirectlyWithFastShapes) {
    draw();
    model_.setAuxiliaryFlag(true);
    model_.setLevelThreshold(50.0f, -1.0f, false); // not announced: the lists are not rebuilt
    draw();
    EXPECT_FALSE(renderer_->isDirty());
    EXPECT_TRUE(near(thalamusPixel(), {0, 0, 0}, 0));
    // Fast colour: dimmed by level.
    EXPECT_TRUE(near(cortexPixel(), {82, 41, 20}));
}

// Faces turned away are left out, never the near ones: the depth at the cortex cell's middle is its near
// surface's, in front of the cell's centre, under a plain and a mirroring model-view, in both styles, and
// with a clipping plane that keeps the whole cell.
TEST_F(ExpressionRenderTest, OnlyTheFacesTurnedAwayAreLeftOut) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const auto depthAtCortex = [] {
        float depth = 0;
        glReadPixels(50, 100, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    };
    for (const bool fast : {false, true})
        for (const bool mirrored : {false, true})
            for (const bool clipped : {false, true}) {
                preferences_.setFasterLowerQualityExpressorDrawing(fast);
                renderer_->markDirty();
                glLoadIdentity();
                if (mirrored) glScalef(1, 1, -1); // the cell's centre moves from z 30 to -30
                const double keepAll[4] = {0, 0, mirrored ? -1.0 : 1.0, 100};
                glClipPlane(GL_CLIP_PLANE0, keepAll);
                if (clipped) glEnable(GL_CLIP_PLANE0);
                draw();
                glDisable(GL_CLIP_PLANE0);
                // glOrtho(.., -200, 200) puts eye z at depth (1 - z / 200) / 2.
                const float centre = (1.0f - (mirrored ? -30.0f : 30.0f) / 200.0f) / 2.0f;
                const std::string what = std::string(fast ? "fast" : "quality") +
                                         (mirrored ? ", mirrored" : "") + (clipped ? ", clipped" : "");
                EXPECT_LT(depthAtCortex(), centre - 0.001f) << what;
                EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << what << ": the GL state is left as it was";
            }
    glLoadIdentity();
}

TEST_F(ExpressionRenderTest, PickingNamesShownCellsByGridIndex) {
    model_.setGeneColourMode(kColourLevel, false);
    auto pickAt = [&](int x, int y) {
        GLuint buffer[64] = {};
        glSelectBuffer(64, buffer);
        glRenderMode(GL_SELECT);
        glInitNames();
        glPushName(0);
        GLint viewport[4] = {0, 0, kSize, kSize};
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPickMatrix(x, y, 1, 1, viewport);
        glOrtho(0, 40, 0, 40, -200, 200);
        glMatrixMode(GL_MODELVIEW);
        renderer_->drawCells(true, 266);
        const GLint hits = glRenderMode(GL_RENDER);
        return hits > 0 ? static_cast<long>(buffer[3]) : -1L;
    };
    const long cortexName = 266 + test::gridIdOf(10, 20, 30) - 1;
    EXPECT_EQ(pickAt(50, 100), cortexName);
    // Level 20 is black in mode 2: not pickable; in jet it is.
    EXPECT_EQ(pickAt(150, 100), -1L);
    model_.setGeneColourMode(kColourJet, false);
    EXPECT_EQ(pickAt(150, 100), 266 + test::gridIdOf(30, 20, 30) - 1);
    EXPECT_EQ(pickAt(100, 100), -1L);
}

TEST_F(ExpressionRenderTest, SelectedCellIsHighlightedInGreen) {
    clear();
    glDisable(GL_LIGHTING);
    renderer_->drawSelectedCell(gene_->cells()[0]);
    EXPECT_TRUE(near(cortexPixel(), {0, 204, 0}));
    // Radius 1.25 reaches further than the expressor itself (radius 1, 0.85 across at its middle).
    EXPECT_TRUE(near(pixel(54, 100), {0, 204, 0}));
    clear();
    renderer_->drawCells(false);
    EXPECT_TRUE(near(pixel(54, 100), {0, 0, 0}, 0));
}

} // namespace
} // namespace volumira

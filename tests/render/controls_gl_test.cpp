#include "expression/TestModel.h"
#include "render/ExpressionFixture.h"
#include "render/ExpressionThresholdControl.h"
#include "render/FakeDisplay.h"
#include "render/GLFixture.h"
#include "render/QtApp.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::Rgb;

class ControlsGLTest : public test::GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        overlayProjection();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
};

TEST_F(ControlsGLTest, ThresholdPlotWindowAndColourScale) {
    test::ExpressionFixture fixture;
    auto gene = fixture.gene({{10, 20, 30, 100.0f, 10, test::kCortex}});
    test::TestModel model;
    test::FakeDisplay display(kSize, kSize);
    {
        ExpressionThresholdControl control(display, model, *gene, fixture.tables());
        // Plot x 50..195, y 21..171; window from 5 expressors: left 71.
        ASSERT_EQ(control.currentWindow(), (ThresholdWindow{71, 195, 21, 171}));
        control.draw();
        glFinish();
        // The window's white outline and its translucent grey inside.
        EXPECT_TRUE(near(pixel(71, 100), {255, 255, 255}));
        EXPECT_TRUE(near(pixel(120, 60), {51, 51, 51}));
        // The colour scale left of the plot: overlay row 100 is image row 70, level 151.
        EXPECT_TRUE(near(pixel(46, 100), {151, 104, 100}));
        // The cell: 10 expressors and full area -> column 45 + 5, level 100 -> image row 103, overlay 67;
        // the image starts at x 45 and is drawn pixel for pixel.
        EXPECT_TRUE(near(pixel(45 + 50, 21 + 149 - 103), {200, 60, 60}));
        EXPECT_TRUE(near(pixel(45 + 51, 21 + 149 - 103), {51, 51, 51}));
        // Switching to jet rebuilds the plot with the jet scale (base level 10).
        model.setGeneColourMode(kColourJet, false);
        clear();
        control.draw();
        glFinish();
        const int level = static_cast<int>(10 + (150 - 70 - 1) * 250.0f / 150);
        EXPECT_TRUE(near(pixel(46, 100), {255, level, 0}));
    }
}

TEST_F(ControlsGLTest, TabStripShadesTheSelectedTab) {
    test::FakeDisplay display(kSize, kSize);
    TabControlRenderer tabs(display, nullptr);
    tabs.addTab("Detail View", false, nullptr);
    tabs.addTab("Results", true, nullptr);
    tabs.selectTab(1);
    tabs.draw(kSize);
    glFinish();
    const int y = kSize - 10;
    EXPECT_TRUE(near(pixel(tabs.tabLeft(1) + 40, y), {115, 115, 115}));
    EXPECT_TRUE(near(pixel(tabs.tabLeft(0) + 40, y), {77, 77, 77}));
    // The close icon is drawn over the selected tab: its dark glyph at the icon's centre.
    EXPECT_TRUE(near(pixel(tabs.tabLeft(1) + 4 + 7, kSize + (22 - 13 - 2) / 2 - 22 + 2 + 8), {0, 0, 0}, 10));
    // Below the strip nothing is drawn.
    EXPECT_TRUE(near(pixel(40, kSize - 30), {0, 0, 0}, 0));
}

TEST_F(ControlsGLTest, TextBoxDrawsItsBackgroundAndText) {
    test::ensureQtApplication();
    QtGLTextBox box(100, 1, false, 0);
    box.setBackground(true);
    box.setText("");
    box.draw(20, 20);
    glFinish();
    // An empty text draws no background.
    EXPECT_TRUE(near(pixel(15, 25), {0, 0, 0}, 0));
    box.setText("Gene: Gad1");
    box.draw(20, 20);
    glFinish();
    EXPECT_TRUE(near(pixel(15, 20 + box.height() / 2), {26, 26, 26}));
    EXPECT_TRUE(near(pixel(20 + box.textWidth() + 10, 20 + box.height() + 2), {26, 26, 26}));
    EXPECT_TRUE(near(pixel(20 + box.textWidth() + 13, 20 + box.height() / 2), {0, 0, 0}, 0));
    // Some text pixels are brighter than the background.
    int bright = 0;
    for (int x = 20; x < 20 + box.textWidth(); ++x)
        for (int y = 20; y < 20 + box.height(); ++y)
            bright += pixel(x, y)[0] > 128;
    EXPECT_GT(bright, 10);
}

} // namespace
} // namespace volumira

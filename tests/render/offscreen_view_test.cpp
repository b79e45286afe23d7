#include "GLTestContext.h"
#include "render/GLRenderer.h"
#include "render/OffscreenView.h"
#include "render/TimerListener.h"

namespace volumira {
namespace {

// Clears the view to its colour and counts what it is asked to do.
class ClearRenderer : public GLInteractiveRenderer, public TimerListener {
  public:
    void initialize() override { ++initialized; }
    void draw() override {
        if (fail) throw std::runtime_error("cannot draw");
        glClearColor(red, 0, 1 - red, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void resize(int w, int h) override {
        width = w;
        height = h;
    }
    void setActive(bool on) override { active = on; }
    bool mouseDown(int, int, int, int, std::uint32_t) override { return ++presses, true; }
    void timerTick() override { red = 1; }

    float red = 0;
    bool fail = false, active = false;
    int initialized = 0, width = 0, height = 0, presses = 0;
};

TEST(OffscreenView, DrawsInstalledPageHeadless) {
    OffscreenView view(24, 16);
    ClearRenderer page;
    view.events().installPage(&page);
    EXPECT_EQ(page.initialized, 1);
    EXPECT_EQ(page.width, 24);
    EXPECT_EQ(page.height, 16);
    EXPECT_TRUE(page.active);
    EXPECT_EQ(view.width(), 24);

    // Installing asked for a paint; it runs when the loop gets to it.
    EXPECT_TRUE(view.processPendingPaint());
    EXPECT_FALSE(view.processPendingPaint());
    EXPECT_EQ(view.framesPresented(), 1);
    std::vector<std::uint8_t> pixels = view.context().readPixels();
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[2], 255);

    // The page's timer turns it red; the next paint shows it.
    EXPECT_FALSE(view.fireTimer());
    view.startTimer(40, &page);
    EXPECT_EQ(view.timerInterval(), 40);
    EXPECT_TRUE(view.fireTimer());
    view.redrawNow();
    pixels = view.context().readPixels();
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[2], 0);
    view.stopTimer();
    EXPECT_EQ(view.timerInterval(), 0);

    view.events().buttonDown(0, 3, 3, 0, 0);
    view.captureMouse();
    EXPECT_EQ(page.presses, 1);

    page.fail = true;
    view.redrawNow();
    EXPECT_EQ(view.lastPaintError(), "cannot draw");
    EXPECT_EQ(view.framesPresented(), 2);
    EXPECT_THROW(view.createTextBox(100, 1, false, 0), std::logic_error);
}

using test::GLTest;

TEST_F(GLTest, ContextsLiveSideBySide) {
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    {
        OffscreenContext other(8, 8);
        ASSERT_TRUE(other.makeCurrent());
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(other.readPixels()[1], 255);
        ASSERT_TRUE(test::glContext().makeCurrent());
    }
    // Destroying the other context leaves this one current and intact.
    expectColour(pixel(5, 5), 255, 0, 0);
}

} // namespace
} // namespace volumira

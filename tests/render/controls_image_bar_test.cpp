#include "expression/TestModel.h"
#include "render/ExpressionFixture.h"
#include "render/FakeDisplay.h"
#include "render/GLTextureButton.h"
#include "render/ImageControlBar.h"

#include <gtest/gtest.h>

namespace volumira {
namespace {

class Owner : public ImageControlOwner {
  public:
    BrainExpressionModel& model() override { return model_; }
    bool canOpenImage() override { return true; }
    void hideImage() override { ++hidden; }
    void openImage() override { ++opened; }
    int displayHeight() override { return 600; }

    test::TestModel model_;
    int hidden = 0, opened = 0;
};

// The scene's bar: x 0, overlay y 256, 256 × 20. Icons are 16 wide: the hide icon, then segments of 20
// from x 26, the open icon from x 238. Window y 333 is overlay y 266, inside the bar.
constexpr int kBarY = 333;

struct Bar {
    Owner owner;
    ImageControlBar bar;
    Bar() { bar.setup(&owner, 0, 256, 256, 20); }
    void click(int pressX, int releaseX) {
        bar.mouseDown(0, pressX, kBarY, 0, 0);
        bar.mouseUp(0, releaseX, kBarY, 0, 0);
    }
};

TEST(ImageControlBarTest, PartsOfTheBar) {
    Bar b;
    EXPECT_EQ(b.bar.segmentWidth(), 20);
    EXPECT_EQ(b.bar.segmentsStart(), 26);
    int segment = 0;
    EXPECT_EQ(b.bar.partAt(10, 266, segment), ImageControlBar::Part::kHide);
    EXPECT_EQ(b.bar.partAt(26, 266, segment), ImageControlBar::Part::kSegment);
    EXPECT_EQ(segment, 0);
    EXPECT_EQ(b.bar.partAt(65, 266, segment), ImageControlBar::Part::kSegment);
    EXPECT_EQ(segment, 1);
    // The third segment needs a selected cell with a section image.
    EXPECT_EQ(b.bar.partAt(70, 266, segment), ImageControlBar::Part::kSegment);
    EXPECT_EQ(segment, -1);
    EXPECT_EQ(b.bar.partAt(240, 266, segment), ImageControlBar::Part::kOpen);
    EXPECT_EQ(b.bar.partAt(240, 276, segment), ImageControlBar::Part::kNone);
    EXPECT_EQ(b.bar.partAt(-1, 266, segment), ImageControlBar::Part::kNone);
}

TEST(ImageControlBarTest, ClicksChooseTheModeHideAndOpen) {
    Bar b;
    b.owner.model_.setImagePanelMode(0, false);
    b.click(50, 55);
    EXPECT_EQ(b.owner.model_.imagePanelMode(), 1);
    b.click(30, 50); // released over another segment: nothing
    EXPECT_EQ(b.owner.model_.imagePanelMode(), 1);
    b.click(75, 75); // the unavailable third segment
    EXPECT_EQ(b.owner.model_.imagePanelMode(), 1);
    b.click(5, 5);
    EXPECT_EQ(b.owner.hidden, 1);
    b.click(245, 100);
    EXPECT_EQ(b.owner.opened, 0);
    b.click(245, 250);
    EXPECT_EQ(b.owner.opened, 1);
    EXPECT_EQ(b.bar.pressedSegment(), -1);
    // Presses outside the bar or with another button are not taken.
    EXPECT_FALSE(b.bar.mouseDown(0, 50, 300, 0, 0));
    EXPECT_FALSE(b.bar.mouseDown(2, 50, kBarY, 0, 0));
}

TEST(ImageControlBarTest, ThirdSegmentWithASelectedCellThatHasASectionImage) {
    Bar b;
    test::ExpressionFixture fixture;
    auto gene = fixture.gene({{10, 20, 30, 100.0f, 10, test::kCortex}});
    b.owner.model_.selectCell(gene.get(), &gene->cells()[0], false);
    // The cell lies on section 1, of which the gene has no image.
    EXPECT_FALSE(b.bar.thirdSegmentAvailable());
    b.owner.model_.selectCell(nullptr, nullptr, false);
}

TEST(ImageControlBarTest, MoveReportsLeavingAndReenteringThePressedElement) {
    Bar b;
    b.bar.mouseDown(0, 50, kBarY, 0, 0);
    EXPECT_FALSE(b.bar.mouseMove(51, kBarY, 0, 0));
    EXPECT_TRUE(b.bar.mouseMove(30, kBarY, 0, 0));
    EXPECT_TRUE(b.bar.mouseMove(50, kBarY, 0, 0));
    b.bar.mouseUp(0, 50, kBarY, 0, 0);
    EXPECT_FALSE(b.bar.mouseMove(30, kBarY, 0, 0));
}

TEST(TextureButtonTest, TextButtonHitArea) {
    test::FakeDisplay display(800, 600);
    GLTextureButton button(display, "Download", 100, 50);
    // 8 characters at 7 pixels: text 56 wide, 13 high; the plate is 12 and 6 larger.
    EXPECT_TRUE(button.isTextButton());
    EXPECT_EQ(button.width(), 68);
    EXPECT_EQ(button.height(), 19);
    EXPECT_EQ(button.bottomEdge(), 53);
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {{100, 49, true},  {168, 69, true},  {99, 55, false},
                          {169, 55, false}, {120, 48, false}, {120, 70, false}};
    for (const Case& c : cases)
        EXPECT_EQ(button.hitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
    button.setPosition(0, 0);
    EXPECT_TRUE(button.hitTest(0, -1));
    EXPECT_TRUE(button.enabled());
    button.setEnabled(false);
    EXPECT_FALSE(button.enabled());
}

} // namespace
} // namespace volumira

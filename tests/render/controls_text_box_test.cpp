#include "render/QtApp.h"
#include "render_qt/QtGLTextBox.h"

#include <gtest/gtest.h>
#include <memory>

namespace volumira {
namespace {

class QtTextBoxTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::ensureQtApplication(); }
};

// First and last column holding any text coverage, or -1 when none does.
struct Ink {
    int first, last;
};

Ink inkColumns(const QImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* p = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            if (p[x * 4 + 3] != 0) {
                if (first < 0 || x < first) first = x;
                last = std::max(last, x);
            }
    }
    return {first, last};
}

TEST_F(QtTextBoxTest, HeightIsLinesTimesLineHeight) {
    QtGLTextBox one(100, 1, true, 0), three(100, 3, false, 0), none(100, 0, true, 0);
    EXPECT_GT(one.lineHeight(), 5);
    EXPECT_EQ(one.height(), one.lineHeight());
    EXPECT_EQ(three.height(), 3 * three.lineHeight());
    EXPECT_EQ(none.height(), none.lineHeight());
    EXPECT_EQ(three.width(), 100);
    EXPECT_EQ(one.image().width(), 100);
    EXPECT_EQ(one.image().height(), one.height());
}

TEST_F(QtTextBoxTest, TextIsWhiteWithCoverageAsAlpha) {
    QtGLTextBox box(150, 1, true, 0);
    box.setText("#Expressors");
    EXPECT_GT(box.textWidth(), 20);
    EXPECT_LE(box.textWidth(), 150);
    EXPECT_EQ(box.textHeight(), box.lineHeight());
    int covered = 0;
    for (int y = 0; y < box.image().height(); ++y) {
        const uchar* p = box.image().constScanLine(y);
        for (int x = 0; x < box.image().width(); ++x, p += 4) {
            // Premultiplied white: every colour byte equals alpha.
            ASSERT_EQ(p[0], p[3]);
            ASSERT_EQ(p[2], p[3]);
            covered += p[3] >= 128;
        }
    }
    EXPECT_GT(covered, 20);
    // The text starts at the left for left alignment.
    EXPECT_LT(inkColumns(box.image()).first, 4);
}

TEST_F(QtTextBoxTest, AlignmentPlacesTheText) {
    QtGLTextBox left(150, 1, true, 0), centre(150, 1, true, 1), right(150, 1, true, 2);
    for (QtGLTextBox* box : {&left, &centre, &right})
        box->setText("260");
    const auto l = inkColumns(left.image()), c = inkColumns(centre.image()), r = inkColumns(right.image());
    ASSERT_GE(l.first, 0);
    EXPECT_LT(l.first, 4);
    EXPECT_GT(r.last, 145);
    const int middle = (c.first + c.last) / 2;
    EXPECT_NEAR(middle, 75, 4);
    EXPECT_EQ(left.textWidth(), right.textWidth());
}

TEST_F(QtTextBoxTest, LongTextWrapsAndEmptyTextLeavesNothing) {
    QtGLTextBox box(60, 3, true, 0);
    box.setText("Gene: Gad1 Annotation: Cortex");
    EXPECT_GT(box.textHeight(), box.lineHeight());
    EXPECT_LE(box.textWidth(), 60);
    box.setText("");
    EXPECT_EQ(box.textWidth(), 0);
    EXPECT_EQ(inkColumns(box.image()).first, -1);
}

TEST_F(QtTextBoxTest, TextOfAsManyLinesAsTheBoxShortensEachLineSoTheLastStaysInTheBox) {
    // A result's symbol, a long name and its score: wrapping the name would push the score out.
    QtGLTextBox box(160, 3, false, 0);
    box.setText("Slc32a1\nsolute carrier family 32 (GABA vesicular transporter), member 1\n0.512");
    EXPECT_EQ(box.textHeight(), 3 * box.lineHeight());
    EXPECT_LE(box.textWidth(), 160);
    // The third line has ink: the score is drawn.
    QImage third = box.image().copy(0, 2 * box.lineHeight(), box.width(), box.lineHeight());
    EXPECT_GE(inkColumns(third).first, 0);
    // The long name is cut at the box's edge, not wrapped onto the third line: the score alone is
    // narrower than a third of the box.
    EXPECT_LT(inkColumns(third).last, 60);
    QImage second = box.image().copy(0, box.lineHeight(), box.width(), box.lineHeight());
    EXPECT_GT(inkColumns(second).last, 120);

    // Fewer lines than the box shows still wrap at words.
    box.setText("solute carrier family 32 (GABA vesicular transporter), member 1");
    EXPECT_GT(box.textHeight(), box.lineHeight());
}

TEST_F(QtTextBoxTest, Utf8TextIsDrawnAsCharacters) {
    QtGLTextBox a(150, 1, true, 0), b(150, 1, true, 0);
    a.setText("\xC2\xB5m"); // "µm"
    b.setText("\xC2\xB5");
    EXPECT_GT(a.textWidth(), b.textWidth());
    EXPECT_GT(b.textWidth(), 0);
}

} // namespace
} // namespace volumira

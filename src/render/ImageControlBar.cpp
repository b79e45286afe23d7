#include "render/ImageControlBar.h"

#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "render/GL.h"
#include "render/Shapes.h"
#include "render/IconTextures.h"

namespace volumira {

namespace {

// Natural icon widths, known without a GL context.
int iconWidth(int resource) {
    return iconBitmap(resource).width;
}
int iconHeight(int resource) {
    return iconBitmap(resource).height;
}

} // namespace

void ImageControlBar::setup(ImageControlOwner* owner, int x, int y, int width, int height) {
    owner_ = owner;
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
}

int ImageControlBar::segmentWidth() const {
    return iconWidth(kIconCoronalPlate) + 4;
}
int ImageControlBar::segmentsStart() const {
    return x_ + iconWidth(kIconClose) + 10;
}
int ImageControlBar::openIconLeft() const {
    return x_ + width_ - iconWidth(kIconOpenImage) - 2;
}

bool ImageControlBar::thirdSegmentAvailable() const {
    if (!owner_) return false;
    const BrainExpressionModel& model = owner_->model();
    const ExpressionCell* cell = model.selectedCell();
    const GeneExpression* gene = model.selectedCellGene();
    return cell && gene && gene->sectionImage(cell->section) != nullptr;
}

bool ImageControlBar::inBar(int x, int overlayY) const {
    return x >= x_ && x < x_ + width_ && overlayY >= y_ && overlayY < y_ + height_;
}

ImageControlBar::Part ImageControlBar::partAt(int x, int overlayY, int& segment) const {
    segment = -1;
    if (!inBar(x, overlayY)) return Part::kNone;
    if (x < segmentsStart()) return Part::kHide;
    if (x < openIconLeft()) {
        const int index = (x - segmentsStart()) / segmentWidth();
        const int last = thirdSegmentAvailable() ? 2 : 1;
        segment = index <= last ? index : -1;
        return Part::kSegment;
    }
    return Part::kOpen;
}

bool ImageControlBar::mouseDown(int button, int x, int y, int, std::uint32_t) {
    if (button != 0 || !owner_) return false;
    const int overlayY = owner_->displayHeight() - y - 1;
    int segment = -1;
    const Part part = partAt(x, overlayY, segment);
    if (part == Part::kNone) return false;
    hidePressed_ = part == Part::kHide;
    openPressed_ = part == Part::kOpen;
    pressedSegment_ = part == Part::kSegment ? segment : -1;
    onPressed_ = true;
    return true;
}

bool ImageControlBar::mouseUp(int, int x, int y, int, std::uint32_t) {
    if (!owner_) return false;
    const int overlayY = owner_->displayHeight() - y - 1;
    int segment = -1;
    const Part part = partAt(x, overlayY, segment);
    const bool hide = hidePressed_ && part == Part::kHide;
    const bool open = openPressed_ && part == Part::kOpen;
    const int chosen =
        pressedSegment_ >= 0 && part == Part::kSegment && segment == pressedSegment_ ? segment : -1;
    hidePressed_ = openPressed_ = onPressed_ = false;
    pressedSegment_ = -1;
    if (hide) owner_->hideImage();
    if (open) owner_->openImage();
    if (chosen >= 0) owner_->model().setImagePanelMode(chosen, true);
    return true;
}

bool ImageControlBar::mouseMove(int x, int y, int, std::uint32_t) {
    if (!owner_ || (!hidePressed_ && !openPressed_ && pressedSegment_ < 0)) return false;
    const int overlayY = owner_->displayHeight() - y - 1;
    int segment = -1;
    const Part part = partAt(x, overlayY, segment);
    const bool on = (hidePressed_ && part == Part::kHide) || (openPressed_ && part == Part::kOpen) ||
                    (pressedSegment_ >= 0 && part == Part::kSegment && segment == pressedSegment_);
    const bool changed = on != onPressed_;
    onPressed_ = on;
    return changed;
}

void ImageControlBar::ensureIcons() {
    if (iconsLoaded_) return;
    const int segments[3] = {kIconCoronalPlate, kIconSagittalPlate, kIconSectionImage};
    for (int i = 0; i < 3; ++i)
        loadIconTexture(segments[i], segmentIcons_[i], true);
    loadIconTexture(kIconClose, hideIcon_, true);
    loadIconTexture(kIconClose, hideIconHover_, true);
    brightenTexture(hideIconHover_);
    loadIconTexture(kIconOpenImage, openIcon_, true);
    loadIconTexture(kIconOpenImage, openIconHover_, true);
    brightenTexture(openIconHover_);
    iconsLoaded_ = true;
}

void ImageControlBar::draw() {
    if (!owner_) return;
    ensureIcons();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0.0f);
    const float x0 = static_cast<float>(x_), y0 = static_cast<float>(y_);
    const float x1 = static_cast<float>(x_ + width_), y1 = static_cast<float>(y_ + height_);
    glColor3f(0.3f, 0.3f, 0.3f);
    RectangleShape::fill(x0, y0, x1, y1);
    const int segmentW = segmentWidth();
    const int mode = owner_->model().imagePanelMode();
    if (mode >= 0 && mode <= 2) {
        const float s0 = static_cast<float>(segmentsStart() + mode * segmentW);
        glColor3f(0.45f, 0.45f, 0.45f);
        RectangleShape::fill(s0, y0, s0 + segmentW, y1);
    }
    glColor3f(0.45f, 0.45f, 0.45f);
    glBegin(GL_LINE_STRIP);
    glVertex2f(x0, y0);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
    glEnd();
    // Icons are drawn unshifted so that the linear filter keeps them sharp.
    glPopMatrix();

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const int iconY = y_ + (height_ - iconHeight(kIconClose)) / 2;
    (hidePressed_ && onPressed_ ? hideIconHover_ : hideIcon_).drawAt(x_ + 2, iconY);
    if (owner_->canOpenImage())
        (openPressed_ && onPressed_ ? openIconHover_ : openIcon_).drawAt(openIconLeft(), y_ + 2);
    const int segments = thirdSegmentAvailable() ? 3 : 2;
    for (int i = 0; i < segments; ++i)
        segmentIcons_[i].drawAt(segmentsStart() + i * segmentW + 2, iconY);
    if (pressedSegment_ >= 0 && onPressed_) {
        const float s0 = static_cast<float>(segmentsStart() + pressedSegment_ * segmentW);
        glColor4f(0.15f, 0.15f, 0.15f, 0.75f);
        RectangleShape::fill(s0, y0, s0 + segmentW, y1);
    }
    glPopAttrib();
}

} // namespace volumira

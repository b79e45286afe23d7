#include "render/ExpressionThresholdControl.h"

#include "atlas/ColourMap.h"
#include "expression/BrainExpressionModel.h"
#include "render/CursorShape.h"
#include "render/GL.h"
#include "render/Shapes.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/ThresholdPlot.h"

namespace volumira {

namespace {

constexpr int kPlotSize = ThresholdGeometry::kPlotSize;

ThresholdRanges rangesOfModel(const BrainExpressionModel& model) {
    ThresholdRanges r;
    model.levelThreshold(r.minLevel, r.maxLevel);
    model.expressorThreshold(r.minCount, r.maxCount);
    return r;
}

} // namespace

ExpressionThresholdControl::ExpressionThresholdControl(GLDisplay& display, BrainExpressionModel& model,
                                                       const GeneExpression& gene,
                                                       const LevelColourTables& tables)
    : display_(display), model_(model), gene_(gene), tables_(tables) {
    levelTitle_ = display.createTextBox(kPlotSize, 1, true, GLDisplay::kAlignCentre);
    countTitle_ = display.createTextBox(kPlotSize, 1, true, GLDisplay::kAlignCentre);
    levelTitle_->setText("Level");
    countTitle_->setText("#Expressors");
    minLevelLabel_ = display.createTextBox(50, 1, true, GLDisplay::kAlignRight);
    maxLevelLabel_ = display.createTextBox(50, 1, true, GLDisplay::kAlignRight);
    minCountLabel_ = display.createTextBox(50, 1, true, GLDisplay::kAlignLeft);
    maxCountLabel_ = display.createTextBox(50, 1, true, GLDisplay::kAlignRight);
}

ExpressionThresholdControl::~ExpressionThresholdControl() = default;

int ExpressionThresholdControl::totalWidth() const {
    return levelTitle_->lineHeight() + kPlotSize;
}
int ExpressionThresholdControl::totalHeight() const {
    return countTitle_->lineHeight() + kPlotSize;
}

const ColourMap& ExpressionThresholdControl::plotTable() const {
    return model_.geneColourMode() == kColourJet ? tables_.jet : tables_.expressionLevels;
}

int ExpressionThresholdControl::baseLevelForMode() const {
    return thresholdBaseLevel(plotTable());
}

ThresholdGeometry ExpressionThresholdControl::geometry() const {
    return ThresholdGeometry(display_.width(), countTitle_->lineHeight(), baseLevelForMode());
}

ThresholdWindow ExpressionThresholdControl::currentWindow() const {
    return dragging_ ? dragWindow_ : geometry().windowOf(rangesOfModel(model_));
}

void ExpressionThresholdControl::rebuildPlot() {
    plotColourMode_ = model_.geneColourMode();
    plot_.create(kPlotSize, kPlotSize, TextureImage::kFormatBgra);
    rasterThresholdPlot(gene_, plotTable(), baseLevelForMode(), plot_.pixels(), random_);
    plot_.upload();
}

void ExpressionThresholdControl::draw() {
    if (plot_.texture() == 0 || plotColourMode_ != model_.geneColourMode()) rebuildPlot();
    const ThresholdWindow w = currentWindow();
    const ThresholdRanges r = rangesOfModel(model_);
    minLevelLabel_->setText(minimumLevelLabel(r.minLevel));
    maxLevelLabel_->setText(maximumLevelLabel(r.maxLevel));
    minCountLabel_->setText(minimumCountLabel(r.minCount));
    maxCountLabel_->setText(maximumCountLabel(r.maxCount));

    const int width = display_.width();
    const int countTitleHeight = countTitle_->lineHeight();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    // Shapes sit a fraction into their pixels for exact lines; images and text are drawn unshifted so
    // that the linear filter keeps them sharp.
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0.0f);
    glColor4f(0.2f, 0.2f, 0.2f, 0.25f);
    RectangleShape::fill(static_cast<float>(w.left), static_cast<float>(w.bottom), static_cast<float>(w.right),
              static_cast<float>(w.top));
    glPopMatrix();
    plot_.drawAt(width - 155, countTitleHeight + 8);
    countTitle_->draw(width - 155, 3);
    glPushMatrix();
    glTranslatef(static_cast<float>(width - 162), static_cast<float>(countTitleHeight + 8), 0.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    levelTitle_->draw(0, 0);
    glPopMatrix();
    minLevelLabel_->draw(width - 212, countTitleHeight + 8);
    maxLevelLabel_->draw(width - 212, countTitleHeight + 158 - maxLevelLabel_->height());
    minCountLabel_->draw(width - 151, 3);
    maxCountLabel_->draw(width - 55, 3);
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0.0f);
    drawGuides(w);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2i(w.left, w.bottom);
    glVertex2i(w.right, w.bottom);
    glVertex2i(w.right, w.top);
    glVertex2i(w.left, w.top);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

void ExpressionThresholdControl::drawGuides(const ThresholdWindow& w) const {
    // Level guides run from the level labels' right end to the window's bottom and top; count guides
    // from the count labels' top up to its left and right.
    const int labelEnd = display_.width() - 162;
    const int labelTop = 3 + minCountLabel_->height();
    glColor3f(0.2f, 0.2f, 0.2f);
    glBegin(GL_LINES);
    for (int y : {w.bottom, w.top}) {
        glVertex2i(labelEnd, y);
        glVertex2i(w.left, y);
    }
    for (int x : {w.left, w.right}) {
        glVertex2i(x, labelTop);
        glVertex2i(x, w.bottom);
    }
    glEnd();
    // A yellow arrowhead at each guide's end, pointing at the window's edge.
    glColor3f(1.0f, 1.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    for (int y : {w.bottom, w.top}) {
        glVertex2i(w.left, y);
        glVertex2i(w.left - 5, y - 5);
        glVertex2i(w.left - 5, y + 5);
    }
    for (int x : {w.left, w.right}) {
        glVertex2i(x, w.bottom);
        glVertex2i(x - 5, w.bottom - 5);
        glVertex2i(x + 5, w.bottom - 5);
    }
    glEnd();
}

bool ExpressionThresholdControl::mouseDown(int, int x, int y, int, std::uint32_t) {
    const int overlayY = display_.height() - y - 1;
    const ThresholdGeometry g = geometry();
    if (!g.inPlot(x, overlayY)) {
        hoverAt(x, overlayY);
        return false;
    }
    dragWindow_ = g.windowOf(rangesOfModel(model_));
    zone_ = g.hitZone(dragWindow_, x, overlayY);
    if (zone_ == ThresholdGeometry::kInside) {
        grabX_ = x - dragWindow_.left;
        grabY_ = overlayY - dragWindow_.bottom;
    }
    setCursorShape(cursorShapeOfZone(zone_));
    hover_ = kHoverUnknown;
    dragging_ = true;
    model_.setAuxiliaryFlag(true);
    return true;
}

void ExpressionThresholdControl::dragStep(int x, int overlayY) {
    const ThresholdGeometry g = geometry();
    dragWindow_ = g.drag(dragWindow_, zone_, x, overlayY, grabX_, grabY_);
    const ThresholdRanges r = g.rangesOf(dragWindow_);
    // One step is one change, however many edges it moved: the expression is rebuilt once.
    model_.setThresholds(r.minLevel, r.maxLevel, r.minCount, r.maxCount, true);
}

void ExpressionThresholdControl::hoverAt(int x, int overlayY) {
    const ThresholdGeometry g = geometry();
    const int zone = g.inPlot(x, overlayY) ? g.hitZone(currentWindow(), x, overlayY) : kOutsidePlot;
    if (zone == hover_) return;
    hover_ = zone;
    setCursorShape(zone == kOutsidePlot ? kCursorArrow : cursorShapeOfZone(zone));
    display_.requestRedraw();
}

bool ExpressionThresholdControl::mouseMove(int x, int y, int, std::uint32_t) {
    const int overlayY = display_.height() - y - 1;
    if (dragging_) {
        setCursorShape(cursorShapeOfZone(zone_));
        dragStep(x, overlayY);
        return true;
    }
    hoverAt(x, overlayY);
    return true;
}

void ExpressionThresholdControl::endDrag() {
    dragging_ = false;
    model_.setAuxiliaryFlag(false);
}

bool ExpressionThresholdControl::mouseUp(int, int x, int y, int, std::uint32_t) {
    const int overlayY = display_.height() - y - 1;
    if (dragging_) dragStep(x, overlayY);
    endDrag();
    hoverAt(x, overlayY);
    return true;
}

void ExpressionThresholdControl::mouseCaptureLost() {
    if (!dragging_) return;
    endDrag();
    hover_ = kHoverUnknown;
    display_.requestRedraw();
}

} // namespace volumira

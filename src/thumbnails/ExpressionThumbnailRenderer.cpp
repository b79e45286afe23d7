#include "thumbnails/ExpressionThumbnailRenderer.h"

#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "render/GL.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/Shapes.h"
#include "thumbnails/BrainThumbnailRenderer.h"
#include "thumbnails/ThumbnailIcons.h"
#include "thumbnails/ThumbnailSlot.h"

#include <algorithm>
#include <cstring>

namespace volumira {

namespace {

void loadIcon(GLTextureButton& button, ThumbnailIcon icon) {
    button.reset(0, 0, kThumbnailIconSize, kThumbnailIconSize);
    const std::vector<std::uint8_t> pixels = thumbnailIconPixels(icon);
    std::memcpy(button.image().pixels(), pixels.data(), pixels.size());
    button.image().upload();
}

} // namespace

ExpressionThumbnailRenderer::ExpressionThumbnailRenderer(BrainThumbnailRenderer& page,
                                                         const ThumbnailSlot& slot)
    : page_(page), slot_(slot) {
    GLDisplay& display = page_.display();
    descriptionBox_ = display.createTextBox(160, 3, false, GLDisplay::kAlignLeft);
    messageBox_ = display.createTextBox(100, 1, false, GLDisplay::kAlignLeft);
    // Wide enough for "99999 KB" in the desktop's default font; at 50 pixels a size of four digits lost
    // its unit.
    sizeBox_ = display.createTextBox(kSizeBoxWidth, 1, false, GLDisplay::kAlignLeft);
    download_ = std::make_unique<GLTextureButton>(display, "Download");
    loadIcon(allExperiments_, ThumbnailIcon::kAllExperiments);
    loadIcon(similarGenes_, ThumbnailIcon::kSimilarGenes);
}

ExpressionThumbnailRenderer::~ExpressionThumbnailRenderer() {
    deleteLists();
}

void ExpressionThumbnailRenderer::place(int x, int y, const ThumbnailLayout& layout) {
    x_ = x;
    y_ = y;
    layout_ = layout;
}

void ExpressionThumbnailRenderer::update() {
    descriptionBox_->setText(slot_.description());
    messageBox_->setText(slot_.message());
    sizeBox_->setText(slot_.sizeText());
    if (slot_.thumbnailSerial() == thumbnailSerial_) return;
    deleteLists();
    thumbnailSerial_ = slot_.thumbnailSerial();
    groups_.clear();
    if (slot_.thumbnail()) groups_ = thumbnailGroups(slot_.thumbnail()->structureCells());
}

// ---- drawing ----

void ExpressionThumbnailRenderer::deleteLists() {
    lists_.reset();
    listsBuilt_ = 0;
}

void ExpressionThumbnailRenderer::buildLists() {
    if (lists_ || groups_.empty()) return;
    lists_ = GLDisplayLists::generate(static_cast<int>(groups_.size()));
    if (!lists_) return;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        glNewList(lists_.list(g), GL_COMPILE);
        glBegin(GL_POINTS);
        for (const ThumbnailPoint& p : groups_[g].points) {
            glColor4f(p.red, p.green, p.blue, p.alpha);
            glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
        glEndList();
    }
    listsBuilt_ = static_cast<int>(groups_.size());
}

int ExpressionThumbnailRenderer::iconX(int which) const {
    return textX() + download_->width() + 8 + which * 20;
}

void ExpressionThumbnailRenderer::draw(float angle, Action pressed) {
    if (!slot_.inUse()) return;
    if (slot_.thumbnailSerial() != thumbnailSerial_) update();
    const int width = layout_.thumbnailWidth, height = layout_.thumbnailHeight;
    const float s = layout_.scale;
    if (slot_.hasThumbnail()) {
        buildLists();
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_POINT_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glPointSize(2.0f);
        glPushMatrix();
        // Centred across the thumbnail area, the grid's top at the row's top; y and z turn over because
        // grid rows run downwards.
        glTranslatef(static_cast<float>(x_) + width / 2.0f, static_cast<float>(top()), 0.0f);
        glScalef(s, -s, -s);
        glRotatef(angle, 0.0f, 1.0f, 0.0f);
        const std::array<int, 3>& grid = page_.atlasGrid();
        glTranslatef(-grid[0] / 2.0f, 0.0f, -grid[2] / 2.0f);
        const StructureSet& shown = page_.model().expressionStructures();
        for (std::size_t g = 0; g < groups_.size() && lists_; ++g)
            if (groups_[g].structure->selfSet.intersects(shown)) glCallList(lists_.list(g));
        glPopMatrix();
        glPopAttrib();
    }
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (slot_.lacksThumbnail()) {
        glColor4f(0.5f, 0.0f, 0.0f, 0.5f);
        RectangleShape::fill(static_cast<float>(x_), static_cast<float>(top() - height),
                             static_cast<float>(x_ + width), static_cast<float>(top()));
    }
    if (slot_.isLoading()) {
        // Grey bar across the thumbnail area, filled to the bytes received.
        const std::uint64_t expected = slot_.expectedBytes(), received = slot_.receivedBytes();
        const float x0 = static_cast<float>(x_ + 40), x1 = static_cast<float>(x_ + width);
        const float y0 = static_cast<float>(top() - height / 2 - 3), y1 = y0 + 6.0f;
        const double fraction = expected == 0 ? 0.0
                                              : std::min(1.0, static_cast<double>(received) /
                                                                  static_cast<double>(expected));
        glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
        RectangleShape::outline(x0, y0, x1, y1);
        RectangleShape::fill(x0, y0, x0 + static_cast<float>((x1 - x0) * fraction), y1);
    }
    // Text and icon textures are premultiplied.
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    const int tx = textX();
    descriptionBox_->draw(tx, top() - descriptionBox_->height());
    const int messageY = top() - descriptionBox_->height() - messageBox_->height();
    messageBox_->draw(tx, messageY);
    sizeBox_->draw(tx + 110, messageY);
    download_->draw(pressed == Action::kDownload, downloadX(), downloadY());
    allExperiments_.setEnabled(slot_.allExperimentsAllowed());
    similarGenes_.setEnabled(slot_.similarGenesAllowed());
    allExperiments_.draw(pressed == Action::kAllExperiments, iconX(0), iconY());
    similarGenes_.draw(pressed == Action::kSimilarGenes, iconX(1), iconY());
    glPopAttrib();
}

// ---- input ----

bool ExpressionThumbnailRenderer::hit(Action button, int x, int y) const {
    switch (button) {
    case Action::kDownload: return download_->hitTest(x, y, downloadX(), downloadY());
    case Action::kAllExperiments: return allExperiments_.hitTest(x, y, iconX(0), iconY());
    case Action::kSimilarGenes: return similarGenes_.hitTest(x, y, iconX(1), iconY());
    case Action::kNone: break;
    }
    return false;
}

ExpressionThumbnailRenderer::Action ExpressionThumbnailRenderer::buttonAt(int x, int y) const {
    for (const Action button : {Action::kDownload, Action::kAllExperiments, Action::kSimilarGenes})
        if (hit(button, x, y)) return button;
    return Action::kNone;
}

} // namespace volumira

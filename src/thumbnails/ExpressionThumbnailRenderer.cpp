#include "thumbnails/ExpressionThumbnailRenderer.h"

#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionAtlas.h"
#include "io/MemoryStream.h"
#include "net/NetFile.h"
#include "render/GL.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/Shapes.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"
#include "storage/GeneExpressionCache.h"
#include "thumbnails/BrainThumbnailRenderer.h"
#include "thumbnails/ThumbnailIcons.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace volumira {

namespace {

void loadIcon(GLTextureButton& button, ThumbnailIcon icon) {
    button.reset(0, 0, kThumbnailIconSize, kThumbnailIconSize);
    const std::vector<std::uint8_t> pixels = thumbnailIconPixels(icon);
    std::memcpy(button.image().pixels(), pixels.data(), pixels.size());
    button.image().upload();
}

std::unique_ptr<GeneExpression> parseGrid(const std::uint8_t* data, std::size_t length, const ReferenceAtlas& atlas) {
    MemoryStream stream(length);
    if (length > 0) stream.write(data, length);
    stream.seek(0);
    return std::make_unique<GeneExpression>(stream, ExpressionAtlas(atlas));
}

std::string missingKey(int type, std::int32_t id, const std::string& path) {
    return type < 0 ? "path:" + path : std::to_string(type) + ":" + std::to_string(id);
}

} // namespace

ExpressionThumbnailRenderer::ExpressionThumbnailRenderer(BrainThumbnailRenderer& page) : page_(page) {
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
    transfer_.cancel();
    deleteLists();
}

void ExpressionThumbnailRenderer::place(int x, int y, const ThumbnailLayout& layout) {
    x_ = x;
    y_ = y;
    layout_ = layout;
}

// ---- loading ----

void ExpressionThumbnailRenderer::clear() {
    transfer_.cancel();
    expected_ = received_ = 0;
    deleteLists();
    thumbnail_.reset();
    groups_.clear();
    inUse_ = false;
    listIndex_ = -1;
    entry_ = {};
    keyType_ = -1;
    keyId_ = 0;
    lacksThumbnail_ = false;
    pressed_ = Action::kNone;
    description_.clear();
    message_.clear();
    sizeText_.clear();
    error_.clear();
    descriptionBox_->setText("");
    messageBox_->setText("");
    sizeBox_->setText("");
}

void ExpressionThumbnailRenderer::show(const GeneExpression& entry, int listIndex) {
    clear();
    inUse_ = true;
    listIndex_ = listIndex;
    entry_ = ThumbnailEntry::of(entry);
    description_ = thumbnailDescription(entry_);
    sizeText_ = thumbnailSizeText(entry_.fileSize);
    descriptionBox_->setText(description_);
    sizeBox_->setText(sizeText_);
    load();
}

void ExpressionThumbnailRenderer::load() {
    if (entry_.imageSeriesId != 0) {
        keyType_ = kImageSeriesId;
        keyId_ = entry_.imageSeriesId;
    } else if (entry_.experimentId != 0) {
        keyType_ = kExperimentId;
        keyId_ = entry_.experimentId;
    } else if (entry_.geneId != 0) {
        keyType_ = kGeneId;
        keyId_ = entry_.geneId;
    }
    const std::string path = entry_.gridPath();
    if (!entry_.available || page_.isMissing(missingKey(keyType_, keyId_, path))) {
        markUnavailable("The server has no thumbnail for this entry.");
        return;
    }
    try {
        if (keyType_ >= 0) {
            MemoryStream cached;
            if (page_.cache().retrieve(keyId_, kThumbnailLevel, keyType_, cached)) {
                try {
                    setThumbnail(std::make_unique<GeneExpression>(cached, ExpressionAtlas(page_.atlas())));
                    return;
                } catch (const std::exception&) {
                    // A damaged copy is dropped and fetched again.
                    page_.cache().remove(keyId_, kThumbnailLevel, keyType_);
                }
            }
        }
        const ServerUrls& urls = page_.urls();
        std::string url;
        if (keyType_ == kImageSeriesId)
            url = urls.gridByImageSeries(keyId_, kThumbnailLevel);
        else if (keyType_ == kExperimentId)
            url = urls.gridByExperiment(keyId_, kThumbnailLevel);
        else if (keyType_ == kGeneId)
            url = urls.gridByGene(keyId_, kThumbnailLevel);
        else
            url = urls.gridByPath(path, kThumbnailLevel);
        try {
            transfer_ = openUrl(url, this, true);
        } catch (const std::exception&) {
            throw std::runtime_error("Could not connect to gene server.");
        }
    } catch (const std::exception& e) {
        markUnavailable(e.what());
    }
}

void ExpressionThumbnailRenderer::setThumbnail(std::unique_ptr<GeneExpression> data) {
    deleteLists();
    groups_ = thumbnailGroups(data->structureCells());
    thumbnail_ = std::move(data);
    message_.clear();
    messageBox_->setText("");
}

void ExpressionThumbnailRenderer::markUnavailable(const std::string& why) {
    error_ = why;
    lacksThumbnail_ = true;
    message_ = kNotAvailable;
    messageBox_->setText(message_);
}

void ExpressionThumbnailRenderer::transferComplete(const std::uint8_t* data, std::size_t length) {
    // The final report: the slot no longer shows progress.
    transfer_.cancel();
    try {
        std::unique_ptr<GeneExpression> parsed = parseGrid(data, length, page_.atlas());
        if (keyType_ >= 0) page_.storeThumbnail(keyType_, keyId_, data, length);
        setThumbnail(std::move(parsed));
    } catch (const std::exception& e) {
        markUnavailable(e.what());
    }
    page_.display().requestRedraw();
}

void ExpressionThumbnailRenderer::transferFailed(const std::string& message) {
    transfer_.cancel();
    page_.markMissing(missingKey(keyType_, keyId_, entry_.gridPath()));
    markUnavailable(message);
    page_.display().requestRedraw();
}

void ExpressionThumbnailRenderer::headersReceived(const std::string&, std::uint64_t contentLength) {
    expected_ = contentLength;
    received_ = 0;
}

void ExpressionThumbnailRenderer::dataReceived(const std::uint8_t*, std::size_t length) {
    received_ += length;
    page_.display().requestRedraw();
}

// ---- drawing ----

void ExpressionThumbnailRenderer::deleteLists() {
    // The page destroys and clears slots with its context current.
    if (listBase_ != 0) glDeleteLists(listBase_, static_cast<GLsizei>(groups_.size()));
    listBase_ = 0;
    listsBuilt_ = 0;
}

void ExpressionThumbnailRenderer::buildLists() {
    if (listBase_ != 0 || groups_.empty()) return;
    listBase_ = glGenLists(static_cast<GLsizei>(groups_.size()));
    if (listBase_ == 0) return;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        glNewList(listBase_ + static_cast<GLuint>(g), GL_COMPILE);
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

bool ExpressionThumbnailRenderer::allExperimentsAllowed() const {
    return inUse_ && page_.list().geneResults();
}

bool ExpressionThumbnailRenderer::similarGenesAllowed() const {
    return inUse_ && entry_.imageSeriesId != 0 && page_.searchConfig().similarSearchOffered(entry_.plane);
}

int ExpressionThumbnailRenderer::iconX(int which) const {
    return textX() + download_->width() + 8 + which * 20;
}

void ExpressionThumbnailRenderer::draw(float angle) {
    if (!inUse_) return;
    const int width = layout_.thumbnailWidth, height = layout_.thumbnailHeight;
    const float s = layout_.scale;
    if (thumbnail_) {
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
        for (std::size_t g = 0; g < groups_.size() && listBase_ != 0; ++g)
            if (groups_[g].structure->selfSet.intersects(shown)) glCallList(listBase_ + static_cast<GLuint>(g));
        glPopMatrix();
        glPopAttrib();
    }
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (lacksThumbnail_) {
        glColor4f(0.5f, 0.0f, 0.0f, 0.5f);
        RectangleShape::fill(static_cast<float>(x_), static_cast<float>(top() - height),
                             static_cast<float>(x_ + width), static_cast<float>(top()));
    }
    if (transfer_) {
        // Grey bar across the thumbnail area, filled to the bytes received.
        const float x0 = static_cast<float>(x_ + 40), x1 = static_cast<float>(x_ + width);
        const float y0 = static_cast<float>(top() - height / 2 - 3), y1 = y0 + 6.0f;
        const double fraction =
            expected_ == 0 ? 0.0 : std::min(1.0, static_cast<double>(received_) / static_cast<double>(expected_));
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
    download_->draw(pressed_ == Action::kDownload && onPressed_, downloadX(), downloadY());
    allExperiments_.setEnabled(allExperimentsAllowed());
    similarGenes_.setEnabled(similarGenesAllowed());
    allExperiments_.draw(pressed_ == Action::kAllExperiments && onPressed_, iconX(0), iconY());
    similarGenes_.draw(pressed_ == Action::kSimilarGenes && onPressed_, iconX(1), iconY());
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

bool ExpressionThumbnailRenderer::mouseDown(int x, int y) {
    pressed_ = Action::kNone;
    if (!inUse_) return false;
    if (hit(Action::kDownload, x, y))
        pressed_ = Action::kDownload;
    else if (hit(Action::kAllExperiments, x, y) && allExperimentsAllowed())
        pressed_ = Action::kAllExperiments;
    else if (hit(Action::kSimilarGenes, x, y) && similarGenesAllowed())
        pressed_ = Action::kSimilarGenes;
    onPressed_ = pressed_ != Action::kNone;
    return onPressed_;
}

void ExpressionThumbnailRenderer::mouseMove(int x, int y) {
    onPressed_ = pressed_ != Action::kNone && hit(pressed_, x, y);
}

ExpressionThumbnailRenderer::Action ExpressionThumbnailRenderer::mouseUp(int x, int y) {
    const Action pressed = pressed_;
    pressed_ = Action::kNone;
    onPressed_ = false;
    return pressed != Action::kNone && inUse_ && hit(pressed, x, y) ? pressed : Action::kNone;
}

} // namespace volumira

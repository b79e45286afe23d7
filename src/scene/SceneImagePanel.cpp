#include "scene/SceneImagePanel.h"

#include "atlas/AtlasGrid.h"
#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "render/GLDisplay.h"

#include <stdexcept>

namespace volumira {

SceneImagePanel::SceneImagePanel(GLDisplay& display, BrainExpressionModel& model, ReferenceAtlas& atlas,
                                 const UserPreferences& preferences, SceneImageServices services)
    : display_(display), model_(model), atlas_(atlas), urls_(preferences), services_(std::move(services)) {
    bar_.setup(this, 0, kPanelSize, kPanelSize, kBarHeight);
}

SceneImagePanel::~SceneImagePanel() = default;

TiledImage& SceneImagePanel::ensureImage() {
    if (!image_) {
        const auto extent = [this](int axis) {
            return static_cast<double>(atlas_.dimension100(axis)) * atlas_.spacing100();
        };
        image_ = std::make_unique<TiledImage>(
            kPanelSize, kPanelSize, display_,
            TiledImageServices{urls_, services_.layer0Cache, services_.layer1Cache, services_.openPage,
                               {extent(0), extent(1), extent(2)}});
    }
    return *image_;
}

void SceneImagePanel::showOrReport(const std::function<void()>& show) {
    try {
        show();
    } catch (const std::exception& e) {
        if (services_.reportError) services_.reportError(e.what());
    } catch (...) {
        if (services_.reportError) services_.reportError(kUnexpectedAtlasError);
    }
}

void SceneImagePanel::showSectionImage(const GeneExpression& gene, const ExpressionCell& cell) {
    const SectionImage* section = gene.sectionImage(cell.section);
    if (!section || section->primaryPath.empty() || section->expressionPath.empty()) {
        hide();
        return;
    }
    showOrReport([&] {
        TiledImage& image = ensureImage();
        TiledImage::Record record;
        record.imageId = static_cast<std::int32_t>(section->imageId);
        record.path = section->primaryPath;
        record.secondPath = section->expressionPath;
        record.width = static_cast<int>(section->width);
        record.height = static_cast<int>(section->height);
        image.show();
        image.setImage(record, cell.sectionX, cell.sectionY, gene.plane() != 0 ? 1 : 0, 0.0f);
    });
}

void SceneImagePanel::showAtlasImageAtPoint() {
    showOrReport([this] {
        std::array<float, 3> p{model_.sectionPosition(0), model_.sectionPosition(1), model_.sectionPosition(2)};
        if (const ExpressionCell* cell = model_.selectedCell()) p = {cell->x, cell->y, cell->z};
        std::string path;
        int imageId = 0, px = 0, py = 0;
        const bool coronal = model_.imagePanelMode() == 0;
        if (coronal)
            atlas_.coronalPlateAt(p[0], p[1], p[2], path, imageId, px, py);
        else
            atlas_.sagittalPlateAt(p[0], p[1], p[2], path, imageId, px, py);
        TiledImage& image = ensureImage();
        if (path.empty()) {
            image.showPlaceholder();
            return;
        }
        image.show();
        image.setImageByPath(path, px, py, coronal ? atlas::kCoronalPlateWidth : atlas::kSagittalPlateWidth,
                             coronal ? atlas::kCoronalPlateHeight : atlas::kSagittalPlateHeight, coronal ? 0 : 1,
                             kPlateResolution, imageId);
    });
}

void SceneImagePanel::hide() {
    if (image_ && image_->isShown()) image_->hide();
}

void SceneImagePanel::draw() {
    if (!isShown()) return;
    image_->draw(model_.imageAlpha());
    bar_.draw();
}

MouseListener* SceneImagePanel::takePress(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (!isShown()) return nullptr;
    if (bar_.mouseDown(button, x, y, modifiers, time)) {
        display_.redrawNow();
        return &bar_;
    }
    if (flipped_.mouseDown(button, x, y, modifiers, time)) return &flipped_;
    return nullptr;
}

bool SceneImagePanel::doubleClick(int button, int x, int y, int modifiers, std::uint32_t time) {
    return image_ && image_->mouseDoubleClick(button, x, displayHeight() - y - 1, modifiers, time);
}

void SceneImagePanel::hideImage() {
    hide();
    display_.requestRedraw();
}

void SceneImagePanel::openImage() {
    if (image_) image_->openPage();
}

int SceneImagePanel::displayHeight() { return display_.height(); }

bool SceneImagePanel::FlippedInput::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    return panel_.image_ && panel_.image_->mouseDown(button, x, panel_.displayHeight() - y - 1, modifiers, time);
}

bool SceneImagePanel::FlippedInput::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    return panel_.image_ && panel_.image_->mouseUp(button, x, panel_.displayHeight() - y - 1, modifiers, time);
}

bool SceneImagePanel::FlippedInput::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    return panel_.image_ && panel_.image_->mouseMove(x, panel_.displayHeight() - y - 1, modifiers, time);
}

} // namespace volumira

#include "scene/BrainSceneRenderer.h"

#include "atlas/Ontology.h"
#include "atlas/ReferenceAtlas.h"
#include "bookmarks/Bookmark.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "platform/FileUtils.h"
#include "render/BrainMeshSet.h"
#include "render/ExpressionRenderer.h"
#include "render/ExpressionThresholdControl.h"
#include "render/GL.h"
#include "render/SceneLighting.h"
#include "render/GLDisplay.h"
#include "render/InputCodes.h"
#include "render/SectionVolumes.h"
#include "render/Shapes.h"
#include "render/TabControlRenderer.h"
#include "scene/ScenePick.h"

#include <algorithm>
#include <cmath>

namespace volumira {

namespace {

// Offsets that keep coincident cells of different genes from hiding each other.
constexpr std::array<std::array<float, 3>, 8> kGeneCorners{{{-1, -1, -1},
                                                            {1, 1, 1},
                                                            {1, -1, -1},
                                                            {-1, -1, 1},
                                                            {-1, 1, -1},
                                                            {1, 1, -1},
                                                            {1, -1, 1},
                                                            {-1, 1, 1}}};
void cone(GLUquadric* quadric) { gluCylinder(quadric, 1.0, 0.0, 1.0, 10, 2); }

} // namespace

BrainSceneRenderer::BrainSceneRenderer(GLDisplay& display, BrainExpressionModel& model, TabControlRenderer& tabs,
                                       ReferenceAtlas& atlas, UserPreferences& preferences)
    : display_(display), model_(model), tabs_(tabs), atlas_(atlas), preferences_(preferences),
      dims_{atlas.dimension100(0), atlas.dimension100(1), atlas.dimension100(2)}, camera_(dims_),
      tables_{atlas.expressionColourMap(), atlas.jetColourMap()},
      overlays_(display), planeTool_(atlas.spacing25() / atlas.spacing100()),
      input_(*this, display, model, tabs, overlays_, trackball_, panTool_, planeTool_), navigator_(model),
      fullScale_(atlas.isFullScaleLoaded()) {
    for (int i = 0; i < model_.geneCount(); ++i)
        addGene(i);
    clipBox_ = std::make_unique<CuttingPlaneRenderer>(model_, dims_);
    // The surfaces shown are read on a worker from now on; the first paint only compiles them.
    const Ontology& ontology = atlas_.ontology();
    meshes_ = std::make_unique<BrainMeshSet>(ontology, ontology.root(), atlas_.dataDir() + "Mesh25/");
    meshes_->prefetch(model_.shownStructures());
    panTool_.setOwner(this);
    planeTool_.setOwner(this);
    // Without the fine volumes the scene shows surfaces and genes; sections come once they are loaded.
    if (fullScale_) planeTool_.setAnnotation(&atlas_.annotation25(), &atlas_.ontology());
    trackball_.setOwner(this);
    trackball_.setOrientation(model_.rotation());
    // The model drops a selected cell that stops being drawn; it judges with the tables drawn with here.
    model_.setLevelColourTables(tables_);
    model_.addListener(this);
    preferences_.addListener(this);
    display_.setMouseMoveEvents(true);
}

BrainSceneRenderer::~BrainSceneRenderer() {
    navigator_.stop();
    model_.removeListener(this);
    model_.clearLevelColourTables();
    preferences_.removeListener(this);
    // Buffers, display lists and textures go in the context they were made in.
    const GLDisplay::ContextGrab grab(display_);
    expression_.clear();
    thresholdControls_.clear();
    sections_.reset();
    meshes_.reset();
    clipBox_.reset();
    imagePanel_.reset();
    overlays_.releaseGL();
}

void BrainSceneRenderer::enableSectionImages(SceneImageServices services) {
    imagePanel_ = std::make_unique<SceneImagePanel>(display_, model_, atlas_, preferences_, std::move(services));
}

// ---- GL state and frame ----

void BrainSceneRenderer::initialize() {
    applySceneLighting();
    // Textures need a current context, which the host guarantees from here on.
    makeSections();
}

void BrainSceneRenderer::resize(int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    camera_.setViewport(width_, height_);
    trackball_.setViewportSize(static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    applyProjection();
}

void BrainSceneRenderer::applyProjection() {
    // The camera loads its projection; the pick matrix must come first, so it is multiplied in here.
    const SceneCamera::Ortho o = camera_.ortho();
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_PROJECTION);
    glOrtho(o.left, o.right, o.bottom, o.top, o.nearPlane, o.farPlane);
    glMatrixMode(GL_MODELVIEW);
}

void BrainSceneRenderer::applyModelView() {
    camera_.applyModelView(trackball_.matrix(), model_.zoom(), model_.translation());
}

void BrainSceneRenderer::makeSections() {
    if (!sections_ && fullScale_) sections_ = std::make_unique<MPRRenderer>(model_, SectionVolumes::ofAtlas(atlas_));
}

void BrainSceneRenderer::fullScaleLoaded() {
    if (fullScale_) return;
    fullScale_ = true;
    planeTool_.setAnnotation(&atlas_.annotation25(), &atlas_.ontology());
    display_.requestRedraw();
}

void BrainSceneRenderer::draw() {
    makeSections();
    const int compass = model_.compassLocation();
    const bool fast = preferences_.fasterLowerQualityExpressorDrawing() || model_.auxiliaryFlag();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyProjection();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    if (compass == 0) {
        placeSceneLights();
        drawCornerCompass();
    }
    applyModelView();
    placeSceneLights();
    if (compass == 1) drawBregmaCompass();

    glDisable(GL_LIGHTING);
    if (model_.clippingPlanesShown()) clipBox_->drawClipBox(false, pickname::kClipLowFirst);
    if (sections_) sections_->drawSections(pickname::kSectionFirst);
    if (!fast) glEnable(GL_LIGHTING);
    drawExpression(0);
    glEnable(GL_LIGHTING);

    setClipping(true);
    const bool transparent = model_.meshDisplayStyle() == 1;
    if (transparent) {
        glDepthMask(GL_FALSE);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glEnable(GL_BLEND);
    }
    if (meshes_) meshes_->draw(model_.shownStructures(), model_.highlightedStructure(), 0);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    setClipping(false);
    glPopMatrix();
    drawOverlays();
}

void BrainSceneRenderer::setClipping(bool on) { clipBox_->setClipPlanes(on); }

void BrainSceneRenderer::drawExpression(int nameBase) {
    const unsigned cellsPerGene = static_cast<unsigned>(dims_[0] * dims_[1] * dims_[2]);
    const ExpressionCell* selected = model_.selectedCell();
    for (std::size_t k = 0; k < expression_.size(); ++k) {
        const auto& corner = kGeneCorners[k % kGeneCorners.size()];
        glPushMatrix();
        glTranslatef(0.1f * corner[0], 0.1f * corner[1], 0.1f * corner[2]);
        if (nameBase != 0) {
            expression_[k]->drawCells(true, static_cast<unsigned>(nameBase) + static_cast<unsigned>(k) * cellsPerGene);
        } else {
            expression_[k]->drawCells(false);
            if (selected && model_.selectedCellGene() == &expression_[k]->gene())
                expression_[k]->drawSelectedCell(*selected);
        }
        glPopMatrix();
    }
}

// ---- compass ----

void BrainSceneRenderer::drawCompassBars(bool cornerCones) {
    GLUquadric* quadric = gluNewQuadric();
    glColor3f(1.0f, 0.0f, 0.0f);
    BoxShape::box(0, 0, 0, 2.0f, 0.15f, 0.15f);
    BoxShape::box(1.4f, 0, 0, 0.4f, 0.1f, 0.1f);
    BoxShape::box(-1.4f, 0, 0, 0.4f, 0.1f, 0.1f);
    BoxShape::box(-1.4f, 0, 0, 0.1f, 0.4f, 0.1f);
    BoxShape::box(-1.4f, 0, 0, 0.1f, 0.1f, 0.4f);
    glColor3f(0.0f, 1.0f, 0.0f);
    BoxShape::box(0, 0, 0, 0.15f, 2.0f, 0.15f);
    glPushMatrix();
    glTranslatef(0.0f, cornerCones ? -1.0f : 1.0f, 0.0f);
    glRotatef(cornerCones ? 90.0f : -90.0f, 1.0f, 0.0f, 0.0f);
    glScalef(0.25f, 0.25f, 0.25f);
    cone(quadric);
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 0.0f);
    BoxShape::box(0, 0, 0, 0.15f, 0.15f, 2.0f);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, 1.0f);
    glScalef(0.25f, 0.25f, 0.25f);
    cone(quadric);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -1.0f);
    glScalef(0.25f, 0.25f, -0.25f);
    cone(quadric);
    glPopMatrix();
    gluDeleteQuadric(quadric);
}

void BrainSceneRenderer::drawCornerCompass() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width_, 0, height_, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(static_cast<float>(width_ - 40), static_cast<float>(height_ - 35 - SceneOverlays::stripHeight(tabs_)), 75.0f);
    glMultMatrixf(trackball_.matrix().data());
    glScalef(20.0f, 20.0f, 20.0f);
    drawCompassBars(true);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void BrainSceneRenderer::drawBregmaCompass() {
    glPushMatrix();
    glTranslatef(atlas_.bregma100(0), atlas_.bregma100(1), atlas_.bregma100(2));
    glScalef(3.5f, 3.5f, 3.5f);
    drawCompassBars(false);
    glPopMatrix();
}

// ---- overlays and input ----

void BrainSceneRenderer::drawOverlays() {
    overlays_.draw(width_, height_, tabs_, imagePanel_.get(), currentThresholdControl());
}

void BrainSceneRenderer::stopAnimation() {
    if (navigator_.running()) spin(false);
}

bool BrainSceneRenderer::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseDown(button, x, y, modifiers, time);
}

bool BrainSceneRenderer::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseUp(button, x, y, modifiers, time);
}

bool BrainSceneRenderer::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseMove(x, y, modifiers, time);
}

void BrainSceneRenderer::mouseCaptureLost() { input_.mouseCaptureLost(); }

bool BrainSceneRenderer::mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseDoubleClick(button, x, y, modifiers, time);
}

bool BrainSceneRenderer::mouseWheel(int, int, int, int delta, std::uint32_t) { return input_.mouseWheel(delta); }

bool BrainSceneRenderer::keyChar(char32_t character, int, std::uint32_t) { return input_.keyChar(character); }

bool BrainSceneRenderer::keySpecial(int code, int modifiers, std::uint32_t) { return input_.keySpecial(code, modifiers); }

// ---- picking ----

int BrainSceneRenderer::pickName(int x, int y) {
    const bool transparent = model_.meshDisplayStyle() == 1;
    if (meshes_) meshes_->loadAll(model_.shownStructures());
    glDisable(GL_NORMALIZE);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::vector<GLuint> buffer(kSelectBufferSize);
    glSelectBuffer(kSelectBufferSize, buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPickMatrix(x, viewport[3] - y, 1, 1, viewport);
    applyProjection();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    applyModelView();
    if (model_.clippingPlanesShown()) {
        clipBox_->drawClipBox(true, pickname::kClipLowFirst);
        if (sections_) sections_->drawSections(pickname::kSectionFirst);
    } else {
        if (sections_) sections_->drawSections(pickname::kSectionFirst);
        setClipping(true);
        if (meshes_) meshes_->drawForPicking(model_.shownStructures(), pickname::kStructureBase);
        drawExpression(pickname::kCellBase);
        setClipping(false);
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    const GLint hits = glRenderMode(GL_RENDER);
    glPopName();
    glEnable(GL_NORMALIZE);
    return choosePickName(std::vector<std::uint32_t>(buffer.begin(), buffer.end()), hits, transparent,
                          atlas_.ontology());
}

void BrainSceneRenderer::pick(int x, int y, bool center) { pickForPress(x, y, center); }

MouseListener* BrainSceneRenderer::pickForPress(int x, int y, bool center) {
    const int name = pickName(x, y);
    if (name >= pickname::kClipLowFirst && name < pickname::kSectionFirst) {
        const bool low = name < pickname::kClipHighFirst;
        planeTool_.selectClipFace(name - (low ? pickname::kClipLowFirst : pickname::kClipHighFirst), low);
        return &planeTool_;
    }
    if (name >= pickname::kSectionFirst && name < pickname::kStructureBase) {
        planeTool_.selectSectionPlane(name - pickname::kSectionFirst);
        return &planeTool_;
    }
    if (name >= pickname::kStructureBase && name < pickname::kCellBase) {
        const Structure& s = atlas_.ontology().structureAt(name - pickname::kStructureBase);
        model_.selectCell(nullptr, nullptr, true);
        model_.setHighlightedStructure(&s, true);
        if (center) centerOn(s.centre);
    } else if (name >= pickname::kCellBase) {
        model_.setHighlightedStructure(nullptr, true);
        const unsigned cellsPerGene = static_cast<unsigned>(dims_[0] * dims_[1] * dims_[2]);
        const unsigned offset = static_cast<unsigned>(name - pickname::kCellBase);
        const unsigned geneIndex = offset / cellsPerGene;
        const ExpressionCell* cell = nullptr;
        const GeneExpression* gene = nullptr;
        if (geneIndex < expression_.size()) {
            gene = &expression_[geneIndex]->gene();
            cell = gene->findCell(static_cast<std::int32_t>(offset % cellsPerGene + 1));
        }
        model_.selectCell(cell ? gene : nullptr, cell, true);
        if (center && cell) centerOn({cell->x, cell->y, cell->z});
    } else {
        if (imageShown()) hideImage();
        model_.setHighlightedStructure(nullptr, true);
        model_.selectCell(nullptr, nullptr, true);
    }
    return nullptr;
}

// ---- timer, spin, tool owner ----

void BrainSceneRenderer::timerTick() {
    if (navigator_.running()) {
        if (!navigator_.tick()) spin(false);
    } else if (spinning_) {
        trackball_.step();
        display_.redrawNow();
    }
}

void BrainSceneRenderer::spin(bool on) {
    if (!navigator_.running() && !preferences_.autoRotateView()) {
        if (spinning_) {
            display_.stopTimer();
            spinning_ = false;
        }
        return;
    }
    if (on == spinning_) {
        if (!on) navigator_.stop();
        return;
    }
    if (on) {
        display_.startTimer(kAnimationIntervalMs, this);
    } else {
        display_.stopTimer();
        navigator_.stop();
    }
    spinning_ = on;
}

void BrainSceneRenderer::setActive(bool active) {
    if (active) return;
    spin(false);
    input_.pageLeft();
}

void BrainSceneRenderer::pan(int dx, int dy) {
    model_.setTranslation(camera_.panBy(model_.translation(), trackball_.matrix(), model_.zoom(), dx, dy), false);
}

void BrainSceneRenderer::rebuildExpression() {
    for (auto& renderer : expression_)
        renderer->markDirty();
    display_.requestRedraw();
}

void BrainSceneRenderer::goToBookmark(const Bookmark& bookmark, bool immediate) {
    const double seconds = preferences_.bookmarkAnimationSeconds();
    if (navigator_.goTo(bookmark, immediate, seconds)) {
        spinning_ = false;
        spin(true);
    } else {
        spin(false);
    }
}

void BrainSceneRenderer::centerOn(const std::array<float, 3>& point) {
    if (navigator_.centreOn(camera_.centreOn(point), preferences_.bookmarkAnimationSeconds())) {
        spinning_ = false;
        spin(true);
    } else {
        spin(false);
    }
}

// ---- genes and controls ----

void BrainSceneRenderer::addGene(int index) {
    if (index < 0 || index >= model_.geneCount()) return;
    const GeneExpression& gene = model_.geneAt(index);
    const auto at = static_cast<std::size_t>(std::min<int>(index, static_cast<int>(expression_.size())));
    expression_.insert(expression_.begin() + static_cast<std::ptrdiff_t>(at),
                       std::make_unique<ExpressionRenderer>(model_, gene, preferences_, tables_));
    thresholdControls_.insert(thresholdControls_.begin() + static_cast<std::ptrdiff_t>(at),
                              std::make_unique<ExpressionThresholdControl>(display_, model_, model_.geneAt(index), tables_));
    display_.requestRedraw();
}

void BrainSceneRenderer::removeGene(int index) {
    if (index < 0 || index >= model_.geneCount()) return;
    // Removal comes from the model, outside any view event: the gene's buffers and plot texture need
    // the view's context.
    const GLDisplay::ContextGrab grab(display_);
    const GeneExpression* gene = &model_.geneAt(index);
    const auto renderer = std::find_if(expression_.begin(), expression_.end(),
                                       [gene](const auto& r) { return &r->gene() == gene; });
    if (renderer != expression_.end()) expression_.erase(renderer);
    const auto control = std::find_if(thresholdControls_.begin(), thresholdControls_.end(),
                                      [gene](const auto& c) { return &c->gene() == gene; });
    if (control != thresholdControls_.end()) {
        if (cachedControl_ == control->get()) cachedControl_ = nullptr;
        input_.forget(control->get());
        thresholdControls_.erase(control);
    }
    display_.requestRedraw();
}

ExpressionThresholdControl* BrainSceneRenderer::currentThresholdControl() {
    if (!model_.thresholdControlsShown()) return nullptr;
    if (controlCacheStale_) {
        cachedControl_ = nullptr;
        for (const auto& control : thresholdControls_)
            if (&control->gene() == model_.currentGene()) cachedControl_ = control.get();
        controlCacheStale_ = false;
    }
    return cachedControl_;
}

void BrainSceneRenderer::syncOrientation() {
    trackball_.setOrientation(model_.rotation());
    display_.requestRedraw();
}

// ---- selection information ----

void BrainSceneRenderer::updateSelectionInfo() {
    const ExpressionCell* cell = model_.selectedCell();
    const GeneExpression* gene = model_.selectedCellGene();
    if (cell && gene) {
        if (model_.imagePanelMode() == 2) {
            if (imagePanel_) imagePanel_->showSectionImage(*gene, *cell);
        } else {
            showAtlasImageAtPoint();
        }
    } else if (imagePanel_) {
        imagePanel_->hide();
    }
    overlays_.setSelectionText(selectionInfoText(model_));
}

void BrainSceneRenderer::showAtlasImageAtPoint() {
    if (imagePanel_) imagePanel_->showAtlasImageAtPoint();
    display_.requestRedraw();
}

void BrainSceneRenderer::hideImage() {
    if (imagePanel_) imagePanel_->hide();
    display_.requestRedraw();
}

// ---- events ----

// A selected cell that a threshold, colour mode or visibility change hides is dropped by the model itself,
// announced after the change: the reactions here only read it.
void BrainSceneRenderer::modelChanged(ModelEvent event, BrainExpressionModel&, std::int32_t argument) {
    switch (event) {
    case ModelEvent::GeneAdded: addGene(argument); break;
    case ModelEvent::GeneRemoving: removeGene(argument); break;
    case ModelEvent::GeneColourModeChanged:
        for (auto& renderer : expression_)
            renderer->checkColourMode(false);
        display_.requestRedraw();
        break;
    case ModelEvent::RotationChanged:
        trackball_.setOrientation(model_.rotation());
        display_.requestRedraw();
        break;
    case ModelEvent::ClippingPlaneChanged:
    case ModelEvent::ThresholdChanged: rebuildExpression(); break;
    case ModelEvent::SelectionChanged:
        updateSelectionInfo();
        display_.requestRedraw();
        break;
    case ModelEvent::CurrentGeneChanged:
        controlCacheStale_ = true;
        if (model_.thresholdControlsShown()) display_.requestRedraw();
        break;
    case ModelEvent::HighlightedStructureChanged:
        if (sections_) sections_->invalidateSlices();
        updateSelectionInfo();
        display_.requestRedraw();
        break;
    case ModelEvent::ViewReset: syncOrientation(); break;
    case ModelEvent::ShownStructuresChanged:
        if (meshes_) meshes_->prefetch(model_.shownStructures());
        display_.requestRedraw();
        break;
    case ModelEvent::ImageAlphaChanged:
        if (imageShown()) display_.requestRedraw();
        break;
    case ModelEvent::ImagePanelModeChanged:
        if (model_.imagePanelMode() == 2)
            updateSelectionInfo();
        else
            showAtlasImageAtPoint();
        display_.requestRedraw();
        break;
    default:
        if (event >= ModelEvent::ExpressionStructuresChanged && event <= ModelEvent::ImagePanelModeChanged)
            display_.requestRedraw();
    }
}

void BrainSceneRenderer::preferencesChanged(int code) {
    if (code == UserPreferencesListener::kFasterDrawing) rebuildExpression();
}

} // namespace volumira

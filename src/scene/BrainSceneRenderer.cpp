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
#include "render/GLTextBox.h"
#include "render/InputCodes.h"
#include "render/SectionVolumes.h"
#include "render/Shapes.h"
#include "render/TabControlRenderer.h"
#include "scene/ScenePick.h"
#include "scene/SectionImageView.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace volumira {

namespace {

constexpr float kDegree = 0.017453292f;
// Offsets that keep coincident cells of different genes from hiding each other.
constexpr std::array<std::array<float, 3>, 8> kGeneCorners{{{-1, -1, -1},
                                                            {1, 1, 1},
                                                            {1, -1, -1},
                                                            {-1, -1, 1},
                                                            {-1, 1, -1},
                                                            {1, 1, -1},
                                                            {1, -1, 1},
                                                            {-1, 1, 1}}};
enum ForwardKind { kDown, kUp, kMove };

void cone(GLUquadric* quadric) { gluCylinder(quadric, 1.0, 0.0, 1.0, 10, 2); }

} // namespace

BrainSceneRenderer::BrainSceneRenderer(GLDisplay& display, BrainExpressionModel& model, TabControlRenderer& tabs,
                                       ReferenceAtlas& atlas, UserPreferences& preferences)
    : display_(display), model_(model), tabs_(tabs), atlas_(atlas), preferences_(preferences),
      dims_{atlas.dimension100(0), atlas.dimension100(1), atlas.dimension100(2)}, camera_(dims_),
      tables_{atlas.expressionColourMap(), atlas.jetColourMap()},
      planeTool_(atlas.spacing25() / atlas.spacing100()), navigator_(model), fullScale_(atlas.isFullScaleLoaded()) {
    for (int i = 0; i < model_.geneCount(); ++i)
        addGene(i);
    clipBox_ = std::make_unique<CuttingPlaneRenderer>(model_, dims_);
    infoBox_ = display_.createTextBox(340, 8, false, GLDisplay::kAlignLeft);
    infoBox_->setBackground(true);
    frameRateBox_ = display_.createTextBox(40, 1, false, GLDisplay::kAlignLeft);
    panTool_.setOwner(this);
    planeTool_.setOwner(this);
    // Without the fine volumes the scene shows surfaces and genes; sections come once they are loaded.
    if (fullScale_) planeTool_.setAnnotation(&atlas_.annotation25(), &atlas_.ontology());
    trackball_.setOwner(this);
    trackball_.setOrientation(model_.rotation());
    model_.addListener(this);
    preferences_.addListener(this);
    display_.setMouseMoveEvents(true);
}

BrainSceneRenderer::~BrainSceneRenderer() {
    navigator_.stop();
    model_.removeListener(this);
    preferences_.removeListener(this);
    // Buffers, display lists and textures go in the context they were made in.
    const GLDisplay::ContextGrab grab(display_);
    expression_.clear();
    thresholdControls_.clear();
    sections_.reset();
    meshes_.reset();
    clipBox_.reset();
    infoBox_.reset();
    frameRateBox_.reset();
}

// ---- GL state and frame ----

void BrainSceneRenderer::initialize() {
    applySceneLighting();
    // Display lists and textures need a current context, which the host guarantees from here on.
    makeSections();
    if (!meshes_) {
        const Ontology& ontology = atlas_.ontology();
        meshes_ = std::make_unique<BrainMeshSet>(ontology, ontology.root(), atlas_.dataDir() + "Mesh25/");
    }
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
    glTranslatef(static_cast<float>(width_ - 40), static_cast<float>(height_ - 35 - stripHeight()), 75.0f);
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

// ---- overlays ----

int BrainSceneRenderer::stripHeight() const { return tabs_.hasMultipleTabs() ? tabs_.stripHeight() : 0; }

void BrainSceneRenderer::drawOverlays() {
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, width_, 0, height_);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    if (tabs_.hasMultipleTabs()) tabs_.draw(width_);
    infoBox_->draw(5, height_ - infoBox_->height() - stripHeight() - 5);
    if (imageView_ && imageView_->isShown()) {
        imageView_->setAlpha(model_.imageAlpha());
        imageView_->draw(width_, height_);
    }
    if (frameRateShown_) {
        if (frameRate_.frame(secondsNow())) frameRateBox_->setText(frameRate_.text());
        frameRateBox_->draw(width_ - 35, 0);
    }
    if (ExpressionThresholdControl* control = currentThresholdControl()) control->draw();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// ---- mouse ----

void BrainSceneRenderer::stopAnimation() {
    if (navigator_.running()) spin(false);
}

bool BrainSceneRenderer::forwardToTool(MouseListener& tool, int button, int x, int y, int modifiers,
                                       std::uint32_t time, int kind) {
    glPushMatrix();
    glLoadIdentity();
    applyModelView();
    bool handled = false;
    if (kind == kDown)
        handled = tool.mouseDown(button, x, y, modifiers, time);
    else if (kind == kUp)
        handled = tool.mouseUp(button, x, y, modifiers, time);
    else
        handled = tool.mouseMove(x, y, modifiers, time);
    glPopMatrix();
    return handled;
}

bool BrainSceneRenderer::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    stopAnimation();
    if (target_) return true;
    if (tabs_.hasMultipleTabs() && y <= tabs_.stripHeight()) {
        if (tabs_.mouseDown(button, x, y, modifiers, time)) {
            target_ = &tabs_;
            display_.redrawNow();
            return true;
        }
    }
    if (imageView_ && imageView_->isShown() && imageView_->mouseDown(button, x, height_ - y - 1, modifiers, time)) {
        target_ = imageView_;
        return true;
    }
    if (ExpressionThresholdControl* control = currentThresholdControl())
        if (control->mouseDown(button, x, y, modifiers, time)) {
            target_ = control;
            return true;
        }
    if (spinning_) spin(false);
    enum { kRotate = 0, kPan = 1, kSelect = 2 };
    int tool = model_.toolMode();
    if ((button == kButtonLeft && (modifiers & kModifierShift)) || button == kButtonMiddle)
        tool = kPan;
    else if (button == kButtonRight || (modifiers & kModifierAlt))
        tool = tool == kSelect ? kRotate : kSelect;
    if (tool == kRotate)
        target_ = &trackball_;
    else if (tool == kPan)
        target_ = &panTool_;
    else
        pick(x, y, (modifiers & kModifierControl) != 0);
    if (target_ == &trackball_ || target_ == &panTool_ || target_ == &planeTool_) {
        targetIsTool_ = true;
        forwardToTool(*target_, button, x, y, modifiers, time, kDown);
        display_.redrawNow();
    }
    return true;
}

bool BrainSceneRenderer::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (target_) {
        bool handled;
        if (targetIsTool_)
            handled = forwardToTool(*target_, button, x, y, modifiers, time, kUp);
        else if (target_ == imageView_)
            handled = target_->mouseUp(button, x, height_ - y - 1, modifiers, time);
        else
            handled = target_->mouseUp(button, x, y, modifiers, time);
        if (handled) display_.requestRedraw();
    }
    target_ = nullptr;
    targetIsTool_ = false;
    return true;
}

bool BrainSceneRenderer::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    if (target_) {
        bool handled;
        if (targetIsTool_)
            handled = forwardToTool(*target_, 0, x, y, modifiers, time, kMove);
        else if (target_ == imageView_)
            handled = target_->mouseMove(x, height_ - y - 1, modifiers, time);
        else
            handled = target_->mouseMove(x, y, modifiers, time);
        if (handled) display_.redrawNow();
        return handled;
    }
    // The control asks for a redraw itself when what the pointer hovers changes.
    if (ExpressionThresholdControl* control = currentThresholdControl()) control->mouseMove(x, y, modifiers, time);
    return false;
}

void BrainSceneRenderer::mouseCaptureLost() {
    MouseListener* target = target_;
    target_ = nullptr;
    targetIsTool_ = false;
    if (target) target->mouseCaptureLost();
    display_.requestRedraw();
}

bool BrainSceneRenderer::mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time) {
    return imageView_ && imageView_->mouseDoubleClick(button, x, height_ - y - 1, modifiers, time);
}

bool BrainSceneRenderer::mouseWheel(int, int, int, int delta, std::uint32_t) {
    stopAnimation();
    if (delta < 0)
        model_.setZoom(model_.zoom() - 10.0f, true);
    else if (delta > 0)
        model_.setZoom(model_.zoom() + 10.0f, true);
    return true;
}

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

void BrainSceneRenderer::pick(int x, int y, bool center) {
    const int name = pickName(x, y);
    if (name >= pickname::kClipLowFirst && name < pickname::kSectionFirst) {
        const bool low = name < pickname::kClipHighFirst;
        planeTool_.selectClipFace(name - (low ? pickname::kClipLowFirst : pickname::kClipHighFirst), low);
        target_ = &planeTool_;
    } else if (name >= pickname::kSectionFirst && name < pickname::kStructureBase) {
        planeTool_.selectSectionPlane(name - pickname::kSectionFirst);
        target_ = &planeTool_;
    } else if (name >= pickname::kStructureBase && name < pickname::kCellBase) {
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
        if (imageView_ && imageView_->isShown()) {
            imageView_->hide();
            display_.requestRedraw();
        }
        model_.setHighlightedStructure(nullptr, true);
        model_.selectCell(nullptr, nullptr, true);
    }
}

// ---- keys ----

bool BrainSceneRenderer::keyChar(char32_t character, int, std::uint32_t) {
    stopAnimation();
    const float step = planeTool_.minimumStep();
    int axis = -1;
    float delta = 0.0f;
    switch (character) {
    case U'[': axis = 0, delta = -step; break;
    case U']': axis = 0, delta = step; break;
    case U'\'': axis = 1, delta = -step; break;
    case U'/': axis = 1, delta = step; break;
    case U'-': axis = 2, delta = -step; break;
    case U'=': axis = 2, delta = step; break;
    case U'R':
    case U'r':
        frameRateShown_ = !frameRateShown_;
        display_.requestRedraw();
        return true;
    case U's': return true;
    case U'e':
    case U'm': return false;
    default: spin(false); return false;
    }
    if (!model_.displayFlag(axis)) return false;
    model_.setSectionPosition(axis, model_.sectionPosition(axis) + delta, true);
    return true;
}

bool BrainSceneRenderer::keySpecial(int code, int modifiers, std::uint32_t) {
    stopAnimation();
    const bool control = (modifiers & kModifierControl) != 0;
    const bool animate = (modifiers & kModifierAlt) != 0;
    switch (code) {
    case kKeyUp: control ? pan(0, 1) : trackball_.rotate({1, 0, 0}, kDegree, animate); break;
    case kKeyDown: control ? pan(0, -1) : trackball_.rotate({1, 0, 0}, -kDegree, animate); break;
    case kKeyLeft: control ? pan(-1, 0) : trackball_.rotate({0, 1, 0}, kDegree, animate); break;
    case kKeyRight: control ? pan(1, 0) : trackball_.rotate({0, 1, 0}, -kDegree, animate); break;
    default: return true;
    }
    display_.redrawNow();
    return true;
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
    if (!active) spin(false);
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
        if (target_ == control->get()) target_ = nullptr;
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

void BrainSceneRenderer::validateSelectedCell() {
    const ExpressionCell* cell = model_.selectedCell();
    const GeneExpression* gene = model_.selectedCellGene();
    if (cell && (!gene || !gene->isVisible() || !isCellShown(model_, tables_, *cell)))
        model_.selectCell(nullptr, nullptr, true);
}

void BrainSceneRenderer::syncOrientation() {
    trackball_.setOrientation(model_.rotation());
    display_.requestRedraw();
}

// ---- selection information ----

void BrainSceneRenderer::updateSelectionInfo() {
    std::ostringstream text;
    const ExpressionCell* cell = model_.selectedCell();
    const GeneExpression* gene = model_.selectedCellGene();
    const Structure* structure = model_.highlightedStructure();
    if (cell && gene) {
        if (model_.imagePanelMode() == 2) {
            const SectionImage* image = gene->sectionImage(cell->section);
            if (imageView_) {
                if (image && !image->primaryPath.empty() && !image->expressionPath.empty())
                    imageView_->show(image->expressionPath, static_cast<int>(image->imageId), cell->sectionX,
                                     cell->sectionY, 1.0f);
                else
                    imageView_->hide();
            }
        } else {
            showAtlasImageAtPoint();
        }
        const std::string name = cell->structure ? cell->structure->name : "";
        const std::string acronym = cell->structure ? cell->structure->acronym : "";
        text << "Gene: " << gene->name() << '\n'
             << "Annotation: " << name << " (" << acronym << ") \n"
             << "#Expressors: " << cell->expressors << '\n'
             << "Cell Diameter: " << cell->diameter << ' ' << micrometreLabel() << '\n'
             << "Grid Area Spanned: " << static_cast<int>(cell->areaSpanned * 100.0f + 0.5f) << "%\n"
             << "Expression Level: " << cell->level << '\n'
             << "Grid ID: " << cell->gridId - 1 << " (" << cell->x << ", " << cell->y << ", " << cell->z << ")\n"
             << "Section: " << cell->section << " Location: " << cell->sectionX << ", " << cell->sectionY;
    } else if (structure && isSelectableStructure(*structure)) {
        std::vector<const Structure*> path;
        for (const Structure* s = structure; s; s = s->parent)
            path.push_back(s);
        for (std::size_t depth = 0; depth < path.size(); ++depth) {
            const Structure* s = path[path.size() - 1 - depth];
            text << std::string(2 * depth, ' ') << s->name << " (" << s->acronym << ")";
            if (depth + 1 < path.size()) text << '\n';
        }
        if (imageView_) imageView_->hide();
    } else if (imageView_) {
        imageView_->hide();
    }
    selectionText_ = text.str();
    infoBox_->setText(selectionText_);
}

void BrainSceneRenderer::showAtlasImageAtPoint() {
    if (!imageView_) return;
    std::array<float, 3> p{model_.sectionPosition(0), model_.sectionPosition(1), model_.sectionPosition(2)};
    if (const ExpressionCell* cell = model_.selectedCell()) p = {cell->x, cell->y, cell->z};
    std::string path;
    int imageId = 0, px = 0, py = 0;
    if (model_.imagePanelMode() == 0)
        atlas_.coronalPlateAt(p[0], p[1], p[2], path, imageId, px, py);
    else
        atlas_.sagittalPlateAt(p[0], p[1], p[2], path, imageId, px, py);
    if (path.empty())
        imageView_->showPlaceholder();
    else
        imageView_->show(path, imageId, px, py, 1.9f);
}

// ---- events ----

void BrainSceneRenderer::modelChanged(std::int32_t event, BrainExpressionModel&, std::int32_t argument) {
    switch (static_cast<ModelEvent>(event)) {
    case ModelEvent::GeneAdded: addGene(argument); break;
    case ModelEvent::GeneRemoving: removeGene(argument); break;
    case ModelEvent::GeneColourModeChanged:
        for (auto& renderer : expression_)
            renderer->checkColourMode(false);
        validateSelectedCell();
        display_.requestRedraw();
        break;
    case ModelEvent::RotationChanged:
        trackball_.setOrientation(model_.rotation());
        display_.requestRedraw();
        break;
    case ModelEvent::ClippingPlaneChanged:
    case ModelEvent::ThresholdChanged:
        rebuildExpression();
        if (event == static_cast<std::int32_t>(ModelEvent::ThresholdChanged)) validateSelectedCell();
        break;
    case ModelEvent::GeneVisibilityChanged:
        validateSelectedCell();
        display_.requestRedraw();
        break;
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
    case ModelEvent::ImageAlphaChanged:
        if (imageView_ && imageView_->isShown()) display_.requestRedraw();
        break;
    case ModelEvent::ImagePanelModeChanged:
        if (model_.imagePanelMode() == 2)
            updateSelectionInfo();
        else
            showAtlasImageAtPoint();
        display_.requestRedraw();
        break;
    default:
        if (event >= 1 && event <= 24) display_.requestRedraw();
    }
}

void BrainSceneRenderer::preferencesChanged(int code) {
    if (code == UserPreferencesListener::kFasterDrawing) rebuildExpression();
}

} // namespace volumira

#include "thumbnails/BrainThumbnailRenderer.h"

#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "render/GL.h"
#include "render/SceneLighting.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/Shapes.h"
#include "render/TabControlRenderer.h"
#include "thumbnails/ThumbnailIcons.h"

#include <algorithm>
#include <cstring>

namespace volumira {

namespace {

constexpr int kCancelX = 480;

void loadIcon(GLTextureButton& button, ThumbnailIcon icon) {
    button.reset(0, 0, kThumbnailIconSize, kThumbnailIconSize);
    const std::vector<std::uint8_t> pixels = thumbnailIconPixels(icon);
    std::memcpy(button.image().pixels(), pixels.data(), pixels.size());
    button.image().upload();
}

} // namespace

BrainThumbnailRenderer::BrainThumbnailRenderer(GLDisplay& display, PagedGeneList& list, BrainExpressionModel& model,
                                               ReferenceAtlas& atlas, TabControlRenderer& tabs,
                                               SearchController& controller, SearchConfigSource config,
                                               UserPreferences& preferences, GeneExpressionCache& cache,
                                               ThumbnailErrors errors)
    : display_(display), model_(model), tabs_(tabs),
      grid_{atlas.dimension100(0), atlas.dimension100(1), atlas.dimension100(2)},
      page_(list, model, ExpressionAtlas(atlas), controller, std::move(config), preferences, cache,
            std::move(errors)),
      input_(*this, page_, tabs, display) {
    // Textures and display lists belong to the display's context.
    const GLDisplay::ContextGrab grab(display_);
    for (int i = 0; i < kThumbnailSlots; ++i)
        slots_.push_back(std::make_unique<ExpressionThumbnailRenderer>(*this, page_.slot(i)));
    titleBox_ = display_.createTextBox(500, 1, false, GLDisplay::kAlignLeft);
    statusBox_ = display_.createTextBox(250, 1, false, GLDisplay::kAlignLeft);
    cancel_ = std::make_unique<GLTextureButton>(display_, "Cancel");
    cancelAll_ = std::make_unique<GLTextureButton>(display_, "Cancel All");
    const ThumbnailIcon icons[kHeaderButtons] = {ThumbnailIcon::kFirstPage, ThumbnailIcon::kPreviousPage,
                                                 ThumbnailIcon::kNextPage,  ThumbnailIcon::kLastPage,
                                                 ThumbnailIcon::kFirstPage, ThumbnailIcon::kAnimation};
    for (int i = 0; i < kHeaderButtons; ++i) {
        header_[static_cast<std::size_t>(i)] = std::make_unique<GLTextureButton>();
        // Button 4 has no picture and never takes a press.
        if (i != kUnused) loadIcon(*header_[static_cast<std::size_t>(i)], icons[i]);
        header_[static_cast<std::size_t>(i)]->setEnabled(false);
    }
    layout_ = ThumbnailLayout::of(display_.width(), display_.height(), grid_, 0);
    page_.setObserver(this);
    model_.addListener(this);
    // A list that already holds results shows its title and paging at once.
    titleBox_->setText(page_.titleText());
    refreshButtons();
}

BrainThumbnailRenderer::~BrainThumbnailRenderer() {
    page_.setObserver(nullptr);
    model_.removeListener(this);
    if (timerRunning_) display_.stopTimer();
    const GLDisplay::ContextGrab grab(display_);
    slots_.clear();
    titleBox_.reset();
    statusBox_.reset();
    cancel_.reset();
    cancelAll_.reset();
    for (auto& button : header_)
        button.reset();
}

// ---- GL state and frame ----

void BrainThumbnailRenderer::initialize() {
    applySceneLighting();
}

int BrainThumbnailRenderer::stripHeight() const {
    return tabs_.hasMultipleTabs() ? tabs_.stripHeight() : 0;
}

void BrainThumbnailRenderer::resize(int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    placeControls();
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width_, 0, height_, -width_, width_);
    glMatrixMode(GL_MODELVIEW);
}

void BrainThumbnailRenderer::placeControls() {
    layout_ = ThumbnailLayout::of(width_, height_, grid_, stripHeight());
    for (int i = 0; i < kThumbnailSlots; ++i) {
        const auto& at = layout_.slotCorners[static_cast<std::size_t>(i)];
        slots_[static_cast<std::size_t>(i)]->place(at[0], at[1], layout_);
    }
    const int headerY = height_ - stripHeight() - 21;
    for (int i = 0; i < kHeaderButtons; ++i)
        header_[static_cast<std::size_t>(i)]->setPosition(5 + 18 * i, headerY + 2);
    const int cancelY = (kThumbnailBandHeight - statusBox_->lineHeight()) / 2 - 3;
    cancel_->setPosition(kCancelX, cancelY);
    cancelAll_->setPosition(kCancelX + cancel_->width() + 10, cancelY);
}

void BrainThumbnailRenderer::draw() {
    // The strip may have gained or lost tabs since the last resize.
    if (layout_.slotCorners[0][1] != ThumbnailLayout::of(width_, height_, grid_, stripHeight()).slotCorners[0][1])
        placeControls();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width_, 0, height_, -width_, width_);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    placeSceneLights();
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    // Text and icon textures are premultiplied.
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    drawHeader();
    drawThumbnails();
    drawStatusBar();
    if (tabs_.hasMultipleTabs()) tabs_.draw(width_);
    glPopAttrib();
}

void BrainThumbnailRenderer::drawHeader() {
    const int strip = stripHeight();
    const int y = height_ - strip - 21;
    for (int i = 0; i < kHeaderButtons; ++i)
        header_[static_cast<std::size_t>(i)]->draw(i == input_.pressedHeader());
    const int lineHeight = titleBox_->lineHeight();
    titleBox_->draw(136, height_ + static_cast<int>((kThumbnailBandHeight - lineHeight) / 2.0 + 0.5) - strip - 24);
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINES);
    glVertex2f(5.0f, static_cast<float>(y - 2));
    glVertex2f(static_cast<float>(width_ - 5), static_cast<float>(y - 2));
    glEnd();
}

void BrainThumbnailRenderer::drawThumbnails() {
    for (int i = 0; i < kThumbnailSlots; ++i)
        slots_[static_cast<std::size_t>(i)]->draw(angle_, input_.pressedButton(i));
}

void BrainThumbnailRenderer::drawStatusBar() {
    statusBox_->draw(5, (kThumbnailBandHeight - statusBox_->lineHeight()) / 2);
    if (!page_.fetcher().isFetching()) return;
    cancel_->draw(input_.cancelPressed());
    cancelAll_->draw(input_.cancelAllPressed());
    const float x0 = static_cast<float>(5 + statusBox_->textWidth() + 10), x1 = x0 + 200.0f;
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x0, 9.0f);
    glVertex2f(x1, 9.0f);
    glVertex2f(x1, 16.0f);
    glVertex2f(x0, 16.0f);
    glEnd();
    RectangleShape::fill(x0, 9.0f, x0 + 200.0f * std::clamp(page_.fetcher().progress(), 0.0f, 1.0f), 16.0f);
}

void BrainThumbnailRenderer::setActive(bool active) {
    active_ = active;
    if (!active) {
        setAnimating(false);
        // A press held while the page goes ends here: the next one on its return starts afresh.
        if (input_.hasTarget()) input_.mouseCaptureLost();
        return;
    }
    if (page_.anySlotInUse() && !userStopped_) setAnimating(true);
}

void BrainThumbnailRenderer::setAnimating(bool on) {
    // The view has one timer, owned by the installed page: a hidden page never starts it.
    animating_ = on && active_;
    if (animating_ && !timerRunning_) {
        display_.startTimer(kTimerMs, this);
        timerRunning_ = true;
    } else if (!animating_ && timerRunning_) {
        display_.stopTimer();
        timerRunning_ = false;
    }
}

void BrainThumbnailRenderer::timerTick() {
    angle_ -= 1.0f;
    if (angle_ < 0.0f) angle_ += 360.0f;
    display_.requestRedraw();
}

void BrainThumbnailRenderer::toggleAnimation() {
    const bool on = !animating_;
    userStopped_ = !on;
    setAnimating(on);
    display_.requestRedraw();
}

// ---- the page and the model ----

void BrainThumbnailRenderer::pageChanged() {
    titleBox_->setText(page_.titleText());
    statusBox_->setText(page_.statusText());
    refreshButtons();
    display_.requestRedraw();
}

void BrainThumbnailRenderer::slotChanged(int slot, SlotChange change) {
    if (change != SlotChange::kProgress) {
        // Display lists of a thumbnail the slot no longer holds are deleted in the display's context.
        const GLDisplay::ContextGrab grab(display_);
        slots_[static_cast<std::size_t>(slot)]->update();
    }
    display_.requestRedraw();
    if (change != SlotChange::kEntry) return;
    const bool inUse = page_.slot(slot).inUse();
    input_.slotReset(slot, !inUse);
    if (inUse && !userStopped_) setAnimating(true);
}

void BrainThumbnailRenderer::refreshButtons() {
    const bool results = page_.hasResults();
    for (int i = 0; i < kHeaderButtons; ++i) {
        bool on = results && i != kUnused;
        if ((i == kFirst || i == kPrevious) && page_.onFirstPage()) on = false;
        if ((i == kNext || i == kLast) && page_.onLastPage()) on = false;
        header_[static_cast<std::size_t>(i)]->setEnabled(on);
    }
}

void BrainThumbnailRenderer::modelChanged(ModelEvent event, BrainExpressionModel&, std::int32_t) {
    if (event == ModelEvent::ExpressionStructuresChanged) display_.requestRedraw();
}

// ---- input ----

bool BrainThumbnailRenderer::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseDown(button, x, y, modifiers, time);
}

bool BrainThumbnailRenderer::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseUp(button, x, y, modifiers, time);
}

bool BrainThumbnailRenderer::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    return input_.mouseMove(x, y, modifiers, time);
}

void BrainThumbnailRenderer::mouseCaptureLost() {
    input_.mouseCaptureLost();
}

bool BrainThumbnailRenderer::keyChar(char32_t character, int, std::uint32_t) {
    return input_.keyChar(character);
}

bool BrainThumbnailRenderer::keySpecial(int code, int, std::uint32_t) {
    return input_.keySpecial(code);
}

} // namespace volumira

#include "thumbnails/BrainThumbnailRenderer.h"

#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionAtlas.h"
#include "io/MemoryStream.h"
#include "render/GL.h"
#include "render/SceneLighting.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/InputCodes.h"
#include "render/Shapes.h"
#include "render/TabControlRenderer.h"
#include "search/PagedGeneList.h"
#include "search/SearchController.h"
#include "storage/GeneExpressionCache.h"
#include "thumbnails/ThumbnailIcons.h"

#include <algorithm>
#include <cstring>

namespace volumira {

namespace {

constexpr int kStoresPerTrim = 10;
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
    : display_(display), list_(list), model_(model), atlas_(atlas), tabs_(tabs), controller_(controller),
      config_(std::move(config)), urls_(preferences), cache_(cache), errors_(std::move(errors)),
      grid_{atlas.dimension100(0), atlas.dimension100(1), atlas.dimension100(2)} {
    // Textures and display lists belong to the display's context.
    const GLDisplay::ContextGrab grab(display_);
    for (int i = 0; i < kThumbnailSlots; ++i)
        slots_.push_back(std::make_unique<ExpressionThumbnailRenderer>(*this));
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
    list_.addListener(this);
    model_.addListener(this);
    // A list that already holds results shows its page at once.
    hasResults_ = list_.size() > 0;
    refreshButtons();
    refreshTitle();
}

BrainThumbnailRenderer::~BrainThumbnailRenderer() {
    list_.removeListener(this);
    model_.removeListener(this);
    if (timerRunning_) display_.stopTimer();
    fetcher_.cancel();
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
        header_[static_cast<std::size_t>(i)]->draw(i == pressedHeader_ && onPressed_);
    const int lineHeight = titleBox_->lineHeight();
    titleBox_->draw(136, height_ + static_cast<int>((kThumbnailBandHeight - lineHeight) / 2.0 + 0.5) - strip - 24);
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINES);
    glVertex2f(5.0f, static_cast<float>(y - 2));
    glVertex2f(static_cast<float>(width_ - 5), static_cast<float>(y - 2));
    glEnd();
}

void BrainThumbnailRenderer::drawThumbnails() {
    for (auto& slot : slots_)
        slot->draw(angle_);
}

void BrainThumbnailRenderer::drawStatusBar() {
    statusBox_->draw(5, (kThumbnailBandHeight - statusBox_->lineHeight()) / 2);
    if (!fetcher_.isFetching()) return;
    cancel_->draw(target_ == Target::kCancel && onPressed_);
    cancelAll_->draw(target_ == Target::kCancelAll && onPressed_);
    const float x0 = static_cast<float>(5 + statusBox_->textWidth() + 10), x1 = x0 + 200.0f;
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x0, 9.0f);
    glVertex2f(x1, 9.0f);
    glVertex2f(x1, 16.0f);
    glVertex2f(x0, 16.0f);
    glEnd();
    RectangleShape::fill(x0, 9.0f, x0 + 200.0f * std::clamp(fetcher_.progress(), 0.0f, 1.0f), 16.0f);
}

void BrainThumbnailRenderer::setActive(bool active) {
    active_ = active;
    if (!active) {
        setAnimating(false);
        // A press held while the page goes ends here: the next one on its return starts afresh.
        if (target_ != Target::kNone) mouseCaptureLost();
        return;
    }
    const bool used = std::any_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->inUse(); });
    if (used && !userStopped_) setAnimating(true);
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

// ---- list and model ----

void BrainThumbnailRenderer::giveEntry(int slot, const GeneExpression& entry, int index) {
    slots_[static_cast<std::size_t>(slot)]->show(entry, index);
    display_.requestRedraw();
    if (!userStopped_) setAnimating(true);
}

void BrainThumbnailRenderer::clearSlots() {
    const GLDisplay::ContextGrab grab(display_);
    for (auto& slot : slots_)
        slot->clear();
    if (target_ == Target::kSlot) target_ = Target::kNone;
}

void BrainThumbnailRenderer::listChanged(int event, PagedGeneList& list, int value) {
    switch (event) {
    case kResultStored: {
        const int first = list.currentPage() * list.pageSize();
        const int slot = value - first;
        if (slot >= 0 && slot < std::min(list.pageSize(), kThumbnailSlots) && value < list.size())
            if (const GeneExpression* entry = list.result(value)) {
                const GLDisplay::ContextGrab grab(display_);
                giveEntry(slot, *entry, value);
            }
        break;
    }
    case kCleared:
    case kClearedForImport:
    case kPageChanged:
        clearSlots();
        break;
    case kRequestFailed:
        // A failed page request leaves nothing to show.
        if (std::none_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->inUse(); })) clearSlots();
        break;
    default:
        break;
    }
    hasResults_ = list.size() > 0;
    refreshButtons();
    refreshTitle();
    display_.requestRedraw();
}

void BrainThumbnailRenderer::refreshTitle() {
    titleText_ = list_.title() + list_.statusText();
    titleBox_->setText(titleText_);
}

void BrainThumbnailRenderer::refreshButtons() {
    const int page = list_.currentPage(), last = list_.pageCount() - 1;
    for (int i = 0; i < kHeaderButtons; ++i) {
        bool on = hasResults_ && i != kUnused;
        if ((i == kFirst || i == kPrevious) && page <= 0) on = false;
        if ((i == kNext || i == kLast) && page >= last) on = false;
        header_[static_cast<std::size_t>(i)]->setEnabled(on);
    }
}

void BrainThumbnailRenderer::modelChanged(std::int32_t event, BrainExpressionModel&, std::int32_t) {
    if (event == static_cast<std::int32_t>(ModelEvent::ExpressionStructuresChanged)) display_.requestRedraw();
}

void BrainThumbnailRenderer::storeThumbnail(int type, std::int32_t id, const std::uint8_t* data, std::size_t length) {
    cache_.store(id, ExpressionThumbnailRenderer::kThumbnailLevel, type, data, length);
    if (++storesSinceTrim_ >= kStoresPerTrim) {
        storesSinceTrim_ = 0;
        cache_.clean();
    }
}

// ---- paging ----

void BrainThumbnailRenderer::goToPage(int page) {
    const int count = list_.pageCount();
    if (count <= 0) return;
    page = std::clamp(page, 0, count - 1);
    if (page != list_.currentPage()) list_.showPage(page);
}

void BrainThumbnailRenderer::headerAction(int index, int modifiers) {
    const int step = (modifiers & kModifierShift) ? kLargeStep : 1;
    const int page = list_.currentPage();
    switch (index) {
    case kFirst: goToPage(0); break;
    case kPrevious: goToPage(page - step); break;
    case kNext: goToPage(page + step); break;
    case kLast: goToPage(list_.pageCount() - 1); break;
    case kAnimate: toggleAnimation(); break;
    default: break;
    }
}

// ---- input ----

int BrainThumbnailRenderer::headerIndexAt(int x, int y) const {
    const int strip = stripHeight();
    if (y < strip || y >= strip + 24 || x < 5) return -1;
    const int index = (x - 5) / 18;
    return index > 5 || index == kUnused ? -1 : index;
}

bool BrainThumbnailRenderer::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (button != kButtonLeft) return false;
    if (target_ != Target::kNone) return true;
    if (tabs_.hasMultipleTabs() && y <= tabs_.stripHeight()) {
        if (!tabs_.mouseDown(button, x, y, modifiers, time)) return false;
        target_ = Target::kTabs;
        display_.redrawNow();
        return true;
    }
    const int strip = stripHeight();
    if (y >= strip && y < strip + 24) {
        const int index = headerIndexAt(x, y);
        if (index < 0 || !header_[static_cast<std::size_t>(index)]->enabled()) return false;
        pressedHeader_ = index;
        onPressed_ = true;
        target_ = Target::kHeader;
        display_.requestRedraw();
        return true;
    }
    const int oy = overlayY(y);
    if (fetcher_.isFetching() && oy < kThumbnailBandHeight) {
        if (cancel_->hitTest(x, oy))
            target_ = Target::kCancel;
        else if (cancelAll_->hitTest(x, oy))
            target_ = Target::kCancelAll;
        if (target_ != Target::kNone) {
            onPressed_ = true;
            display_.requestRedraw();
            return true;
        }
    }
    const int slot = layout_.slotAt(x, y, strip);
    if (slot >= 0 && slots_[static_cast<std::size_t>(slot)]->mouseDown(x, oy)) {
        target_ = Target::kSlot;
        targetSlot_ = slot;
        display_.requestRedraw();
        return true;
    }
    return false;
}

bool BrainThumbnailRenderer::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    const int oy = overlayY(y);
    bool on = onPressed_;
    switch (target_) {
    case Target::kNone: return false;
    case Target::kTabs: return tabs_.mouseMove(x, y, modifiers, time);
    case Target::kHeader: on = headerIndexAt(x, y) == pressedHeader_; break;
    case Target::kCancel: on = cancel_->hitTest(x, oy); break;
    case Target::kCancelAll: on = cancelAll_->hitTest(x, oy); break;
    case Target::kSlot: slots_[static_cast<std::size_t>(targetSlot_)]->mouseMove(x, oy); break;
    }
    if (on != onPressed_ || target_ == Target::kSlot) display_.requestRedraw();
    onPressed_ = on;
    return true;
}

bool BrainThumbnailRenderer::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (button != kButtonLeft || target_ == Target::kNone) return false;
    const Target target = target_;
    const int pressedHeader = pressedHeader_, slot = targetSlot_;
    target_ = Target::kNone;
    pressedHeader_ = -1;
    targetSlot_ = -1;
    onPressed_ = false;
    const int oy = overlayY(y);
    display_.requestRedraw();
    switch (target) {
    case Target::kTabs: tabs_.mouseUp(button, x, y, modifiers, time); break;
    case Target::kHeader:
        if (headerIndexAt(x, y) == pressedHeader) headerAction(pressedHeader, modifiers);
        break;
    case Target::kCancel:
        if (cancel_->hitTest(x, oy)) cancelDownload();
        break;
    case Target::kCancelAll:
        if (cancelAll_->hitTest(x, oy)) cancelAllDownloads();
        break;
    case Target::kSlot: slotAction(slot, slots_[static_cast<std::size_t>(slot)]->mouseUp(x, oy)); break;
    case Target::kNone: break;
    }
    return true;
}

void BrainThumbnailRenderer::mouseCaptureLost() {
    if (target_ == Target::kTabs) tabs_.mouseCaptureLost();
    if (target_ == Target::kSlot) slots_[static_cast<std::size_t>(targetSlot_)]->forgetPress();
    target_ = Target::kNone;
    pressedHeader_ = -1;
    targetSlot_ = -1;
    onPressed_ = false;
    display_.requestRedraw();
}

void BrainThumbnailRenderer::slotAction(int slot, ExpressionThumbnailRenderer::Action action) {
    if (action == ExpressionThumbnailRenderer::Action::kNone) return;
    // Copied first: a search started here clears the list, and with it the slot.
    const ThumbnailEntry entry = slots_[static_cast<std::size_t>(slot)]->entry();
    const std::string& name = entry.symbol.empty() ? entry.name : entry.symbol;
    switch (action) {
    case ExpressionThumbnailRenderer::Action::kDownload: {
        std::string url;
        try {
            if (entry.fileUrl.find("://") != std::string::npos)
                url = entry.fileUrl;
            else
                url = urls_.grid({entry.imageSeriesId, entry.experimentId, entry.geneId, entry.gridPath()},
                                 kDownloadLevel);
        } catch (const std::exception& e) {
            if (errors_) errors_(e.what());
            return;
        }
        queueDownload(name, url);
        break;
    }
    case ExpressionThumbnailRenderer::Action::kAllExperiments:
        if (entry.geneId != 0)
            controller_.listImageSeries(name, entry.geneId);
        else
            controller_.startTextSearch(name, "genesym=" + name, true);
        break;
    case ExpressionThumbnailRenderer::Action::kSimilarGenes: controller_.findSimilar(name, entry.imageSeriesId); break;
    case ExpressionThumbnailRenderer::Action::kNone: break;
    }
}

bool BrainThumbnailRenderer::keyChar(char32_t character, int, std::uint32_t) {
    if (character != U' ') return false;
    toggleAnimation();
    return true;
}

bool BrainThumbnailRenderer::keySpecial(int code, int, std::uint32_t) {
    const int page = list_.currentPage();
    switch (code) {
    case kKeyLeft: goToPage(page - 1); break;
    case kKeyRight: goToPage(page + 1); break;
    case kKeyPageUp: goToPage(page - kLargeStep); break;
    case kKeyPageDown: goToPage(page + kLargeStep); break;
    case kKeyHome: goToPage(0); break;
    case kKeyEnd: goToPage(list_.pageCount() - 1); break;
    default: return false;
    }
    return true;
}

// ---- downloads ----

void BrainThumbnailRenderer::queueDownload(const std::string& name, const std::string& url) {
    queue_.push_back({name, url});
    startNextDownload();
}

void BrainThumbnailRenderer::startNextDownload() {
    std::string failure;
    while (!fetcher_.isFetching() && !queue_.empty()) {
        const QueuedDownload next = queue_.front();
        queue_.pop_front();
        try {
            fetcher_.fetch(next.name, next.url, this, 0);
            downloading_ = next.name;
        } catch (const std::exception& e) {
            fetcher_.cancel();
            failure = e.what();
        }
    }
    refreshStatus();
    display_.requestRedraw();
    if (!failure.empty() && errors_) errors_(failure);
}

void BrainThumbnailRenderer::refreshStatus() {
    if (!fetcher_.isFetching()) {
        setStatus("");
        return;
    }
    std::string text = "Downloading " + downloading_;
    if (!queue_.empty()) text += " - " + std::to_string(queue_.size()) + " queued";
    setStatus(std::move(text));
}

void BrainThumbnailRenderer::setStatus(std::string text) {
    statusText_ = std::move(text);
    statusBox_->setText(statusText_);
}

void BrainThumbnailRenderer::fetchComplete(GeneFetcher&, const std::uint8_t* data, std::size_t length) {
    const std::string name = downloading_;
    std::string failure;
    try {
        MemoryStream stream(length);
        if (length > 0) stream.write(data, length);
        stream.seek(0);
        auto gene = std::make_unique<GeneExpression>(stream, ExpressionAtlas(atlas_));
        model_.addGene(std::move(gene));
    } catch (const std::exception& e) {
        failure = std::string("Error reading gene data. ") + e.what();
    }
    fetcher_.cancel();
    if (!queue_.empty()) {
        startNextDownload();
    } else {
        // A file that could not be read is not reported as downloaded.
        setStatus(failure.empty() ? name + " downloaded" : "");
        display_.requestRedraw();
    }
    // Last: the error box may run a nested event loop.
    if (!failure.empty() && errors_) errors_(failure);
}

void BrainThumbnailRenderer::fetchFailed(GeneFetcher&, const std::string& message) {
    const std::string name = downloading_;
    fetcher_.cancel();
    startNextDownload();
    // A lost download is said, not dropped silently.
    if (errors_) errors_("Error downloading gene data for " + name + ". " + message);
}

void BrainThumbnailRenderer::fetchProgress(GeneFetcher&, float) {
    display_.requestRedraw();
}

void BrainThumbnailRenderer::cancelDownload() {
    fetcher_.cancel();
    startNextDownload();
}

void BrainThumbnailRenderer::cancelAllDownloads() {
    fetcher_.cancel();
    queue_.clear();
    setStatus("");
    display_.requestRedraw();
}

} // namespace volumira

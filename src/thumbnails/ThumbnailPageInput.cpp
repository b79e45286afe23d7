#include "thumbnails/ThumbnailPageInput.h"

#include "render/GLDisplay.h"
#include "render/InputCodes.h"
#include "render/TabControlRenderer.h"
#include "thumbnails/BrainThumbnailRenderer.h"
#include "thumbnails/ThumbnailPage.h"

namespace volumira {

ThumbnailPageInput::ThumbnailPageInput(BrainThumbnailRenderer& view, ThumbnailPage& page,
                                       TabControlRenderer& tabs, GLDisplay& display)
    : view_(view), page_(page), tabs_(tabs), display_(display) {}

int ThumbnailPageInput::headerIndexAt(int x, int y) const {
    const int strip = view_.stripHeight();
    if (y < strip || y >= strip + 24 || x < 5) return -1;
    const int index = (x - 5) / 18;
    const bool none = index >= BrainThumbnailRenderer::kHeaderButtons || index == BrainThumbnailRenderer::kUnused;
    return none ? -1 : index;
}

bool ThumbnailPageInput::slotButtonAllowed(int slot, Action button) const {
    const ThumbnailSlot& content = page_.slot(slot);
    switch (button) {
    case Action::kDownload: return content.inUse();
    case Action::kAllExperiments: return content.allExperimentsAllowed();
    case Action::kSimilarGenes: return content.similarGenesAllowed();
    case Action::kNone: break;
    }
    return false;
}

bool ThumbnailPageInput::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (button != kButtonLeft) return false;
    if (target_ != Target::kNone) return true;
    if (tabs_.hasMultipleTabs() && y <= tabs_.stripHeight()) {
        if (!tabs_.mouseDown(button, x, y, modifiers, time)) return false;
        target_ = Target::kTabs;
        display_.redrawNow();
        return true;
    }
    const int strip = view_.stripHeight();
    if (y >= strip && y < strip + 24) {
        const int index = headerIndexAt(x, y);
        if (index < 0 || !view_.headerButtonEnabled(index)) return false;
        pressedHeader_ = index;
        onPressed_ = true;
        target_ = Target::kHeader;
        display_.requestRedraw();
        return true;
    }
    const int oy = view_.overlayY(y);
    if (page_.fetcher().isFetching() && oy < kThumbnailBandHeight) {
        if (view_.cancelButton().hitTest(x, oy))
            target_ = Target::kCancel;
        else if (view_.cancelAllButton().hitTest(x, oy))
            target_ = Target::kCancelAll;
        if (target_ != Target::kNone) {
            onPressed_ = true;
            display_.requestRedraw();
            return true;
        }
    }
    const int slot = view_.layout().slotAt(x, y, strip);
    if (slot < 0) return false;
    const Action pressed = view_.slot(slot).buttonAt(x, oy);
    if (pressed == Action::kNone || !slotButtonAllowed(slot, pressed)) return false;
    target_ = Target::kSlot;
    targetSlot_ = slot;
    slotButton_ = pressed;
    onPressed_ = true;
    display_.requestRedraw();
    return true;
}

bool ThumbnailPageInput::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    const int oy = view_.overlayY(y);
    bool on = onPressed_;
    switch (target_) {
    case Target::kNone: return false;
    case Target::kTabs: return tabs_.mouseMove(x, y, modifiers, time);
    case Target::kHeader: on = headerIndexAt(x, y) == pressedHeader_; break;
    case Target::kCancel: on = view_.cancelButton().hitTest(x, oy); break;
    case Target::kCancelAll: on = view_.cancelAllButton().hitTest(x, oy); break;
    case Target::kSlot:
        on = slotButton_ != Action::kNone && view_.slot(targetSlot_).hit(slotButton_, x, oy);
        break;
    }
    if (on != onPressed_ || target_ == Target::kSlot) display_.requestRedraw();
    onPressed_ = on;
    return true;
}

bool ThumbnailPageInput::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (button != kButtonLeft || target_ == Target::kNone) return false;
    const Target target = target_;
    const int pressedHeader = pressedHeader_, slot = targetSlot_;
    const Action slotButton = slotButton_;
    endPress();
    const int oy = view_.overlayY(y);
    display_.requestRedraw();
    switch (target) {
    case Target::kTabs: tabs_.mouseUp(button, x, y, modifiers, time); break;
    case Target::kHeader:
        if (headerIndexAt(x, y) == pressedHeader) headerAction(pressedHeader, modifiers);
        break;
    case Target::kCancel:
        if (view_.cancelButton().hitTest(x, oy)) page_.cancelDownload();
        break;
    case Target::kCancelAll:
        if (view_.cancelAllButton().hitTest(x, oy)) page_.cancelAllDownloads();
        break;
    case Target::kSlot:
        if (slotButton != Action::kNone && page_.slot(slot).inUse() &&
            view_.slot(slot).hit(slotButton, x, oy))
            slotAction(slot, slotButton);
        break;
    case Target::kNone: break;
    }
    return true;
}

void ThumbnailPageInput::endPress() {
    target_ = Target::kNone;
    pressedHeader_ = -1;
    targetSlot_ = -1;
    slotButton_ = Action::kNone;
    onPressed_ = false;
}

void ThumbnailPageInput::mouseCaptureLost() {
    if (target_ == Target::kTabs) tabs_.mouseCaptureLost();
    endPress();
    display_.requestRedraw();
}

void ThumbnailPageInput::slotReset(int slot, bool emptied) {
    if (target_ != Target::kSlot || targetSlot_ != slot) return;
    if (emptied)
        endPress();
    else
        slotButton_ = Action::kNone;
}

void ThumbnailPageInput::headerAction(int index, int modifiers) {
    const int step = (modifiers & kModifierShift) ? ThumbnailPage::kLargeStep : 1;
    switch (index) {
    case BrainThumbnailRenderer::kFirst: page_.firstPage(); break;
    case BrainThumbnailRenderer::kPrevious: page_.stepPages(-step); break;
    case BrainThumbnailRenderer::kNext: page_.stepPages(step); break;
    case BrainThumbnailRenderer::kLast: page_.lastPage(); break;
    case BrainThumbnailRenderer::kAnimate: view_.toggleAnimation(); break;
    default: break;
    }
}

void ThumbnailPageInput::slotAction(int slot, Action action) {
    switch (action) {
    case Action::kDownload: page_.downloadEntry(slot); break;
    case Action::kAllExperiments: page_.listAllExperiments(slot); break;
    case Action::kSimilarGenes: page_.findSimilarGenes(slot); break;
    case Action::kNone: break;
    }
}

bool ThumbnailPageInput::keyChar(char32_t character) {
    if (character != U' ') return false;
    view_.toggleAnimation();
    return true;
}

bool ThumbnailPageInput::keySpecial(int code) {
    switch (code) {
    case kKeyLeft: page_.stepPages(-1); break;
    case kKeyRight: page_.stepPages(1); break;
    case kKeyPageUp: page_.stepPages(-ThumbnailPage::kLargeStep); break;
    case kKeyPageDown: page_.stepPages(ThumbnailPage::kLargeStep); break;
    case kKeyHome: page_.firstPage(); break;
    case kKeyEnd: page_.lastPage(); break;
    default: return false;
    }
    return true;
}

} // namespace volumira

#pragma once

// Turns the mouse and keys of a thumbnail page into its commands: paging, the animation, Cancel and
// Cancel All, and a slot's Download and follow-up searches. A press goes to the tab strip, a header button,
// a status bar button or a slot's button, which then follows the pointer until the release; the command
// runs when the release is still on the pressed control. Positions arrive as the view delivers them
// (y down). Holds the press; BrainThumbnailRenderer draws what it says is pressed.

#include "thumbnails/ExpressionThumbnailRenderer.h"

#include <cstdint>

namespace volumira {

class BrainThumbnailRenderer;
class GLDisplay;
class TabControlRenderer;
class ThumbnailPage;

class ThumbnailPageInput {
  public:
    using Action = ExpressionThumbnailRenderer::Action;

    // Everything given must outlive the input.
    ThumbnailPageInput(BrainThumbnailRenderer& view, ThumbnailPage& page, TabControlRenderer& tabs,
                       GLDisplay& display);

    // Left button only.
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time);
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time);
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time);
    void mouseCaptureLost();
    // Space toggles the animation.
    bool keyChar(char32_t character);
    // Left and Right page by one, Page Up and Page Down by five, Home and End to the ends.
    bool keySpecial(int code);

    // A slot was given another entry or emptied: a press on it is lost, and with the entry gone it ends.
    void slotReset(int slot, bool emptied);
    bool hasTarget() const { return target_ != Target::kNone; }

    // What is drawn pressed: only while the pointer is still on the pressed control.
    int pressedHeader() const { return target_ == Target::kHeader && onPressed_ ? pressedHeader_ : -1; }
    bool cancelPressed() const { return target_ == Target::kCancel && onPressed_; }
    bool cancelAllPressed() const { return target_ == Target::kCancelAll && onPressed_; }
    Action pressedButton(int slot) const {
        return target_ == Target::kSlot && targetSlot_ == slot && onPressed_ ? slotButton_ : Action::kNone;
    }

  private:
    enum class Target { kNone, kTabs, kHeader, kCancel, kCancelAll, kSlot };

    // The header button under a window point; -1 for none and for the unused button.
    int headerIndexAt(int x, int y) const;
    void headerAction(int index, int modifiers);
    bool slotButtonAllowed(int slot, Action button) const;
    void slotAction(int slot, Action action);
    void endPress();

    BrainThumbnailRenderer& view_;
    ThumbnailPage& page_;
    TabControlRenderer& tabs_;
    GLDisplay& display_;
    Target target_ = Target::kNone;
    int pressedHeader_ = -1;
    int targetSlot_ = -1;
    Action slotButton_ = Action::kNone;
    bool onPressed_ = false;
};

} // namespace volumira

#include "scene/SceneInput.h"

#include "expression/BrainExpressionModel.h"
#include "render/ExpressionThresholdControl.h"
#include "render/GL.h"
#include "render/GLDisplay.h"
#include "render/InputCodes.h"
#include "render/MovePlaneMouseTool.h"
#include "render/PanMouseTool.h"
#include "render/TabControlRenderer.h"
#include "render/Trackball.h"
#include "scene/SceneImagePanel.h"
#include "scene/SceneOverlays.h"

namespace volumira {

namespace {

constexpr float kDegree = 0.017453292f;

} // namespace

SceneInput::SceneInput(SceneInputHost& host, GLDisplay& display, BrainExpressionModel& model,
                       TabControlRenderer& tabs, SceneOverlays& overlays, Trackball& trackball,
                       PanMouseTool& panTool, MovePlaneMouseTool& planeTool)
    : host_(host), display_(display), model_(model), tabs_(tabs), overlays_(overlays), trackball_(trackball),
      panTool_(panTool), planeTool_(planeTool) {}

bool SceneInput::isTool(const MouseListener* listener) const {
    return listener == &trackball_ || listener == &panTool_ || listener == &planeTool_;
}

void SceneInput::pageLeft() {
    left_ = true;
    MouseListener* target = target_;
    target_ = nullptr;
    if (target) target->mouseCaptureLost();
}

void SceneInput::forget(const MouseListener* listener) {
    if (target_ == listener) target_ = nullptr;
}

bool SceneInput::forwardToTool(MouseListener& tool, int button, int x, int y, int modifiers, std::uint32_t time,
                               Kind kind) {
    // The tools work in the scene's coordinates: they need its model-view transform.
    glPushMatrix();
    glLoadIdentity();
    host_.applyModelView();
    bool handled = false;
    if (kind == Kind::Down)
        handled = tool.mouseDown(button, x, y, modifiers, time);
    else if (kind == Kind::Up)
        handled = tool.mouseUp(button, x, y, modifiers, time);
    else
        handled = tool.mouseMove(x, y, modifiers, time);
    glPopMatrix();
    return handled;
}

bool SceneInput::mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) {
    host_.stopAnimation();
    if (target_) return true;
    if (tabs_.hasMultipleTabs() && y <= tabs_.stripHeight()) {
        left_ = false;
        if (tabs_.mouseDown(button, x, y, modifiers, time)) {
            target_ = &tabs_;
            display_.redrawNow();
            return true;
        }
        // A press that chose a tab swapped this page out (and in again, for its own tab): it starts no
        // drag here, or the drag would outlive the page and turn the scene on its return.
        if (left_) return true;
    }
    if (SceneImagePanel* panel = host_.imagePanel()) {
        if (MouseListener* taker = panel->takePress(button, x, y, modifiers, time)) {
            target_ = taker;
            return true;
        }
    }
    if (ExpressionThresholdControl* control = host_.currentThresholdControl())
        if (control->mouseDown(button, x, y, modifiers, time)) {
            target_ = control;
            return true;
        }
    host_.stopSpinning();
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
        target_ = host_.pickForPress(x, y, (modifiers & kModifierControl) != 0);
    if (target_ && isTool(target_)) {
        forwardToTool(*target_, button, x, y, modifiers, time, Kind::Down);
        display_.redrawNow();
    }
    return true;
}

bool SceneInput::mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) {
    if (target_) {
        const bool handled = isTool(target_) ? forwardToTool(*target_, button, x, y, modifiers, time, Kind::Up)
                                             : target_->mouseUp(button, x, y, modifiers, time);
        if (handled) display_.requestRedraw();
    }
    target_ = nullptr;
    return true;
}

bool SceneInput::mouseMove(int x, int y, int modifiers, std::uint32_t time) {
    if (target_) {
        const bool handled = isTool(target_) ? forwardToTool(*target_, 0, x, y, modifiers, time, Kind::Move)
                                             : target_->mouseMove(x, y, modifiers, time);
        if (handled) display_.redrawNow();
        return handled;
    }
    // The control asks for a redraw itself when what the pointer hovers changes.
    if (ExpressionThresholdControl* control = host_.currentThresholdControl())
        control->mouseMove(x, y, modifiers, time);
    return false;
}

void SceneInput::mouseCaptureLost() {
    MouseListener* target = target_;
    target_ = nullptr;
    if (target) target->mouseCaptureLost();
    display_.requestRedraw();
}

bool SceneInput::mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time) {
    SceneImagePanel* panel = host_.imagePanel();
    return panel && panel->doubleClick(button, x, y, modifiers, time);
}

bool SceneInput::mouseWheel(int delta) {
    host_.stopAnimation();
    if (delta < 0)
        model_.setZoom(model_.zoom() - 10.0f, true);
    else if (delta > 0)
        model_.setZoom(model_.zoom() + 10.0f, true);
    return true;
}

bool SceneInput::keyChar(char32_t character) {
    host_.stopAnimation();
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
        overlays_.toggleFrameRate();
        display_.requestRedraw();
        return true;
    case U's': return true;
    case U'e':
    case U'm': return false;
    default: host_.stopSpinning(); return false;
    }
    if (!model_.displayFlag(axis)) return false;
    model_.setSectionPosition(axis, model_.sectionPosition(axis) + delta, true);
    return true;
}

bool SceneInput::keySpecial(int code, int modifiers) {
    host_.stopAnimation();
    const bool control = (modifiers & kModifierControl) != 0;
    const bool animate = (modifiers & kModifierAlt) != 0;
    switch (code) {
    case kKeyUp: control ? host_.pan(0, 1) : trackball_.rotate({1, 0, 0}, kDegree, animate); break;
    case kKeyDown: control ? host_.pan(0, -1) : trackball_.rotate({1, 0, 0}, -kDegree, animate); break;
    case kKeyLeft: control ? host_.pan(-1, 0) : trackball_.rotate({0, 1, 0}, kDegree, animate); break;
    case kKeyRight: control ? host_.pan(1, 0) : trackball_.rotate({0, 1, 0}, -kDegree, animate); break;
    default: return true;
    }
    display_.redrawNow();
    return true;
}

} // namespace volumira

#pragma once

#include "render/MouseListener.h"

#include <cstdint>

namespace volumira {

class BrainExpressionModel;
class ExpressionThresholdControl;
class GLDisplay;
class MovePlaneMouseTool;
class PanMouseTool;
class SceneImagePanel;
class SceneOverlays;
class TabControlRenderer;
class Trackball;

// What input routing asks of the scene it serves.
class SceneInputHost {
  public:
    virtual ~SceneInputHost() = default;
    // Ends a running bookmark animation.
    virtual void stopAnimation() = 0;
    virtual void stopSpinning() = 0;
    virtual ExpressionThresholdControl* currentThresholdControl() = 0;
    // Picks under the window point and acts on it; a plane the press grabbed, or null.
    virtual MouseListener* pickForPress(int x, int y, bool centre) = 0;
    // The scene's model-view transform, multiplied into the current matrix.
    virtual void applyModelView() = 0;
    virtual void pan(int dx, int dy) = 0;
    // The image panel, when the scene has one.
    virtual SceneImagePanel* imagePanel() = 0;
};

// Routes the scene's mouse and keys: a press goes to the first taker among the tab strip, the image panel,
// the threshold control and the tools chosen by the tool mode, which then gets the drag until release.
// Keys move section planes, rotate and pan. Positions arrive as the view delivers them (y down).
class SceneInput {
  public:
    // Everything given must outlive the router.
    SceneInput(SceneInputHost& host, GLDisplay& display, BrainExpressionModel& model, TabControlRenderer& tabs,
               SceneOverlays& overlays, Trackball& trackball, PanMouseTool& panTool, MovePlaneMouseTool& planeTool);

    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time);
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time);
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time);
    bool mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time);
    bool mouseWheel(int delta);
    void mouseCaptureLost();
    bool keyChar(char32_t character);
    bool keySpecial(int code, int modifiers);

    // The page was taken out of the view (another tab chosen): a drag in it ends where it is, and a
    // press that made the switch is the tab strip's alone.
    void pageLeft();
    // A listener that is going away stops being the press's target.
    void forget(const MouseListener* listener);
    bool hasTarget() const { return target_ != nullptr; }

  private:
    enum class Kind { Down, Up, Move };
    bool isTool(const MouseListener* listener) const;
    bool forwardToTool(MouseListener& tool, int button, int x, int y, int modifiers, std::uint32_t time, Kind kind);

    SceneInputHost& host_;
    GLDisplay& display_;
    BrainExpressionModel& model_;
    TabControlRenderer& tabs_;
    SceneOverlays& overlays_;
    Trackball& trackball_;
    PanMouseTool& panTool_;
    MovePlaneMouseTool& planeTool_;
    MouseListener* target_ = nullptr;
    bool left_ = false; // pageLeft came since the press began
};

} // namespace volumira

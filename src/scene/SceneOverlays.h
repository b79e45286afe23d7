#pragma once

#include "scene/FrameRate.h"

#include <memory>
#include <string>

namespace volumira {

class BrainExpressionModel;
class ExpressionThresholdControl;
class GLDisplay;
class GLTextBox;
class SceneImagePanel;
class TabControlRenderer;

// The selection information of the scene as text: the selected cell's gene, structure and measures, or the
// path of the selected structure from the root; empty otherwise.
std::string selectionInfoText(const BrainExpressionModel& model);

// The 2D layer drawn over the scene: tab strip, selection information, the image panel, the frame-rate
// readout and the current gene's threshold control. Owns the two text boxes and the frame-rate state.
class SceneOverlays {
  public:
    explicit SceneOverlays(GLDisplay& display);
    ~SceneOverlays();
    SceneOverlays(const SceneOverlays&) = delete;
    SceneOverlays& operator=(const SceneOverlays&) = delete;

    void setSelectionText(std::string text);
    const std::string& selectionText() const { return selectionText_; }
    void toggleFrameRate() { frameRateShown_ = !frameRateShown_; }
    bool frameRateShown() const { return frameRateShown_; }

    // Draws in a 2D projection of the viewport, restoring the matrices and enable state afterwards. The
    // image panel and the control may be null.
    void draw(int width, int height, TabControlRenderer& tabs, SceneImagePanel* image,
              ExpressionThresholdControl* control);
    // The height the tab strip takes at the top: 0 with a single tab.
    static int stripHeight(const TabControlRenderer& tabs);
    // Releases the text boxes' textures; the display's context must be current.
    void releaseGL();

  private:
    std::unique_ptr<GLTextBox> infoBox_, frameRateBox_;
    std::string selectionText_;
    FrameRate frameRate_;
    bool frameRateShown_ = false;
};

} // namespace volumira

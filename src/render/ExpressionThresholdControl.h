#pragma once

#include "render/ExpressorStyle.h"
#include "render/MouseListener.h"
#include "render/TextureImage.h"
#include "render/ThresholdWindow.h"

#include <memory>
#include <random>

namespace volumira {

class BrainExpressionModel;
class GLDisplay;
class GLTextBox;
class GeneExpression;

// The threshold plot of one gene in the lower right corner of the scene: its cells as points (expressor
// count across, level up) under a window whose edges, dragged with the mouse, set the model's level and
// expressor-count thresholds. Mouse positions arrive in window coordinates (y downwards). Hovering
// sets the pointer shape of the zone under it and asks for a redraw only when that zone changes.
class ExpressionThresholdControl : public MouseListener {
  public:
    ExpressionThresholdControl(GLDisplay& display, BrainExpressionModel& model, const GeneExpression& gene,
                               const LevelColourTables& tables);
    ~ExpressionThresholdControl() override;

    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseMove(int x, int y, int modifiers, std::uint32_t time) override;
    // Ends a drag where it is, keeping the thresholds of its last step.
    void mouseCaptureLost() override;

    // Draws in 2D overlay coordinates; needs the scene's context current.
    virtual void draw();
    // Level title height + the plot, and count title height + the plot.
    virtual int totalWidth() const;
    virtual int totalHeight() const;

    const GeneExpression& gene() const { return gene_; }
    bool isDragging() const { return dragging_; }
    // The plot geometry for the display's current width and the model's colour mode.
    ThresholdGeometry geometry() const;
    ThresholdWindow currentWindow() const;

  private:
    int baseLevelForMode() const;
    const ColourMap& plotTable() const;
    void rebuildPlot();
    void dragStep(int x, int overlayY);
    void drawGuides(const ThresholdWindow& w) const;
    void hoverAt(int x, int overlayY);
    void endDrag();

    GLDisplay& display_;
    BrainExpressionModel& model_;
    const GeneExpression& gene_;
    LevelColourTables tables_;
    TextureImage plot_;
    int plotColourMode_ = -1;
    std::minstd_rand random_;
    std::unique_ptr<GLTextBox> levelTitle_, countTitle_;
    std::unique_ptr<GLTextBox> minLevelLabel_, maxLevelLabel_, minCountLabel_, maxCountLabel_;
    bool dragging_ = false;
    ThresholdGeometry::Zone zone_ = ThresholdGeometry::kNone;
    ThresholdWindow dragWindow_;
    int grabX_ = 0, grabY_ = 0;
    // The zone under the pointer as last shown (kOutsidePlot outside the plot); kHoverUnknown after a
    // drag changed the pointer shape.
    static constexpr int kOutsidePlot = -1, kHoverUnknown = -2;
    int hover_ = kHoverUnknown;
};

} // namespace volumira

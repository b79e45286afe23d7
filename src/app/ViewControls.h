#pragma once

#include <QWidget>

class QLabel;
class QSlider;

namespace volumira {

class BrainExpressionModel;

// The zoom bar below the data view ("View Controls"): a slider 15..250 that sets the model's zoom.
class CBasicViewControls : public QWidget {
  public:
    static constexpr int kMinimum = 15, kMaximum = 250, kInitial = 40;

    // The model must outlive the bar.
    CBasicViewControls(BrainExpressionModel& model, QWidget* parent = nullptr);
    // Shows the model's zoom, unless the slider is setting it right now.
    void showModelZoom();
    QSlider& slider() { return *slider_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    BrainExpressionModel& model_;
    QSlider* slider_;
    QLabel* label_;
    bool setting_ = false;
};

// The image blending bar (shown by Image Controls): a slider between "ISH" and "Heat Mask" that sets the
// model's image alpha in hundredths.
class CViewControls : public QWidget {
  public:
    static constexpr int kHeight = 40;

    CViewControls(BrainExpressionModel& model, QWidget* parent = nullptr);
    void showModelAlpha();
    QSlider& slider() { return *slider_; }

  private:
    BrainExpressionModel& model_;
    QSlider* slider_;
    bool setting_ = false;
};

} // namespace volumira

#include "app/ViewControls.h"

#include "expression/BrainExpressionModel.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

namespace volumira {

CBasicViewControls::CBasicViewControls(BrainExpressionModel& model, QWidget* parent)
    : QWidget(parent), model_(model), slider_(new QSlider(Qt::Horizontal, this)), label_(new QLabel("Zoom", this)) {
    setObjectName("ViewControls");
    setWindowTitle("View Controls");
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    slider_->setObjectName("ZoomSlider");
    slider_->setRange(kMinimum, kMaximum);
    slider_->setValue(kInitial);
    slider_->setPageStep(10);
    label_->setObjectName("ZoomLabel");
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Every kind of move (line, page, drag, Home, End) ends up as a value change.
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        setting_ = true;
        model_.setZoom(static_cast<float>(position), true);
        setting_ = false;
    });
    showModelZoom();
}

void CBasicViewControls::showModelZoom() {
    if (setting_) return;
    const QSignalBlocker blocker(slider_);
    slider_->setValue(static_cast<int>(model_.zoom()));
}

void CBasicViewControls::resizeEvent(QResizeEvent*) {
    slider_->setGeometry(width() - 205, height() / 2 - 11, 200, 22);
    const QSize text = label_->sizeHint();
    label_->setGeometry(slider_->x() - 3 - text.width(), height() / 2 - text.height() / 2, text.width(), text.height());
}

CViewControls::CViewControls(BrainExpressionModel& model, QWidget* parent)
    : QWidget(parent), model_(model), slider_(new QSlider(Qt::Horizontal)) {
    setObjectName("ImageBlendingBar");
    setFixedHeight(kHeight);
    auto* group = new QGroupBox("Image Blending", this);
    group->setObjectName("ImageBlendingGroup");
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(6, 0, 6, 0);
    auto* ish = new QLabel("ISH");
    auto* heat = new QLabel("Heat Mask");
    slider_->setObjectName("ImageBlendingSlider");
    slider_->setRange(0, 100);
    slider_->setTickInterval(10);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setPageStep(10);
    slider_->setFixedWidth(200);
    row->addWidget(ish);
    row->addWidget(slider_);
    row->addWidget(heat);
    row->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(4, 0, 4, 2);
    outer->addWidget(group);
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        setting_ = true;
        model_.setImageAlpha(static_cast<float>(position) / 100.0f, true);
        setting_ = false;
    });
    showModelAlpha();
}

void CViewControls::showModelAlpha() {
    if (setting_) return;
    const QSignalBlocker blocker(slider_);
    slider_->setValue(static_cast<int>(model_.imageAlpha() * 100.0f));
}

} // namespace volumira

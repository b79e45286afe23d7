#include "app/PreferencesDialog.h"

#include "preferences/UserPreferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace volumira {

PreferencesDialog::PreferencesDialog(UserPreferences& preferences, QWidget* parent)
    : QDialog(parent), preferences_(preferences),
      versionCheck_(new QCheckBox("&Automatically check for updates")),
      autoRotate_(new QCheckBox("Automatically animate &rotation when mouse is dragged and released")),
      fasterDrawing_(new QCheckBox("&Draw faster but at lower quality")),
      verticalSync_(new QCheckBox("&Synchronize drawing with the monitor's vertical refresh")),
      animation_(new QSlider(Qt::Horizontal)), multisample_(new QComboBox) {
    setObjectName("PreferencesDialog");
    setWindowTitle("Preferences");
    versionCheck_->setObjectName("AutomaticVersionCheck");
    autoRotate_->setObjectName("AutoRotateView");
    fasterDrawing_->setObjectName("FasterDrawing");
    verticalSync_->setObjectName("VerticalSync");
    animation_->setObjectName("BookmarkAnimationSpeed");
    multisample_->setObjectName("Multisample");

    versionCheck_->setChecked(preferences_.automaticVersionCheck());
    autoRotate_->setChecked(preferences_.autoRotateView());
    fasterDrawing_->setChecked(preferences_.fasterLowerQualityExpressorDrawing());
    verticalSync_->setChecked(preferences_.verticalSync());
    multisample_->addItems(multisampleChoices(preferences_.maxMultisample()));
    const int index = preferences_.multisample() / 2;
    multisample_->setCurrentIndex(index < multisample_->count() ? index : -1);
    animation_->setRange(0, 10);
    animation_->setTickInterval(1);
    animation_->setTickPosition(QSlider::TicksBelow);
    animation_->setPageStep(1);
    animation_->setValue(10 - static_cast<int>(preferences_.bookmarkAnimationSeconds()));

    auto* animation = new QGroupBox("Bookmark Animation Speed");
    auto* slider = new QHBoxLayout(animation);
    slider->addWidget(new QLabel("Slow"));
    slider->addWidget(animation_, 1);
    slider->addWidget(new QLabel("Instant"));
    auto* note = new QLabel(
        "The 3D rendering will appear smoother with multisampling enabled. Higher levels of multisampling will "
        "make the rendering smoother but may also be increasingly slower.\n\nYou must quit and relaunch Volumira "
        "for this setting to take effect.");
    note->setWordWrap(true);
    // The window system fixes the swap interval when the window is made; nothing changes it later.
    auto* verticalSyncNote = new QLabel("This setting takes effect the next time Volumira starts.");
    verticalSyncNote->setObjectName("VerticalSyncNote");
    verticalSyncNote->setIndent(20);
    auto* samples = new QHBoxLayout;
    samples->addWidget(new QLabel("Multisample"));
    samples->addWidget(multisample_);
    samples->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(versionCheck_);
    layout->addWidget(autoRotate_);
    layout->addWidget(animation);
    layout->addWidget(fasterDrawing_);
    layout->addWidget(verticalSync_);
    layout->addWidget(verticalSyncNote);
    layout->addWidget(note);
    layout->addLayout(samples);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

QStringList PreferencesDialog::multisampleChoices(int maxMultisample) {
    QStringList choices{"Off"};
    for (int n = 2; n <= maxMultisample; n += 2) choices << QString::number(n);
    return choices;
}

void PreferencesDialog::accept() {
    const int selected = multisample_->currentIndex();
    QDialog::accept();
    preferences_.setAutomaticVersionCheck(versionCheck_->isChecked());
    preferences_.setAutoRotateView(autoRotate_->isChecked());
    preferences_.setMultisample(selected < 0 ? 0 : 2 * selected);
    preferences_.setFasterLowerQualityExpressorDrawing(fasterDrawing_->isChecked());
    preferences_.setVerticalSync(verticalSync_->isChecked());
    preferences_.setBookmarkAnimationSpeed(static_cast<float>(10 - animation_->value()));
}

} // namespace volumira

#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QSlider;

namespace volumira {

class UserPreferences;

// "Preferences": six of the user's settings. OK applies them in a fixed order, each setter writing and
// announcing only what changed; Cancel changes nothing.
class PreferencesDialog : public QDialog {
  public:
    // The preferences must outlive the dialog.
    PreferencesDialog(UserPreferences& preferences, QWidget* parent = nullptr);

    // "Off", then every even sample count up to the display's largest.
    static QStringList multisampleChoices(int maxMultisample);

    QCheckBox& versionCheckBox() { return *versionCheck_; }
    QCheckBox& autoRotateBox() { return *autoRotate_; }
    QCheckBox& fasterDrawingBox() { return *fasterDrawing_; }
    QCheckBox& verticalSyncBox() { return *verticalSync_; }
    QSlider& animationSlider() { return *animation_; }
    QComboBox& multisampleList() { return *multisample_; }

    void accept() override;

  private:
    UserPreferences& preferences_;
    QCheckBox *versionCheck_, *autoRotate_, *fasterDrawing_, *verticalSync_;
    QSlider* animation_;
    QComboBox* multisample_;
};

} // namespace volumira

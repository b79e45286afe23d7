#pragma once

#include "bookmarks/Bookmark.h"

#include <QDialog>
#include <cstdint>
#include <map>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace volumira {

class Prompt;

// "Bookmark": a name and the parts of the view to keep. Restricted (off the 3D scene) it offers only the
// expression filter, checked and fixed. Save stays open, with a message, while nothing is checked or the
// name is empty.
class EditBookmarkDialog : public QDialog {
  public:
    EditBookmarkDialog(std::int32_t settings, bool restricted, Prompt& prompt, QWidget* parent = nullptr);

    std::string name() const;
    // The checked parts.
    std::int32_t settings() const;
    QLineEdit& nameEdit() { return *name_; }
    QCheckBox& box(Bookmark::Setting setting) { return *boxes_.at(setting); }
    QPushButton& saveButton() { return *save_; }

    void accept() override;

  private:
    Prompt& prompt_;
    QLineEdit* name_ = nullptr;
    std::map<Bookmark::Setting, QCheckBox*> boxes_;
    QPushButton* save_ = nullptr;
};

} // namespace volumira

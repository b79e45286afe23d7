#include "app/EditBookmarkDialog.h"

#include "app/Prompt.h"
#include "document/BookmarkCommands.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace volumira {

EditBookmarkDialog::EditBookmarkDialog(std::int32_t settings, bool restricted, Prompt& prompt, QWidget* parent)
    : QDialog(parent), prompt_(prompt) {
    setObjectName("EditBookmarkDialog");
    setWindowTitle("Bookmark");
    auto* layout = new QVBoxLayout(this);
    auto* nameRow = new QFormLayout;
    name_ = new QLineEdit;
    name_->setObjectName("BookmarkName");
    nameRow->addRow("Name:", name_);
    layout->addLayout(nameRow);

    const std::int32_t offered = offeredBookmarkSettings(settings, restricted);
    const struct {
        Bookmark::Setting setting;
        const char* label;
        const char* objectName;
    } boxes[] = {{Bookmark::AtlasStructures, "Atlas Structures", "AtlasStructuresBox"},
                 {Bookmark::ExpressionFilter, "Expression Filter", "ExpressionFilterBox"},
                 {Bookmark::ExpressionThresholds, "Expression Thresholds", "ExpressionThresholdsBox"},
                 {Bookmark::ViewAngle, "View Angle", "ViewAngleBox"},
                 {Bookmark::ViewZoom, "View Zoom", "ViewZoomBox"},
                 {Bookmark::AtlasSections, "Atlas Sections", "AtlasSectionsBox"},
                 {Bookmark::ClippingPlanes, "Clipping Planes", "ClippingPlanesBox"}};
    for (const auto& b : boxes) {
        auto* box = new QCheckBox(b.label);
        box->setObjectName(b.objectName);
        box->setChecked((offered & b.setting) != 0);
        box->setEnabled(!restricted);
        layout->addWidget(box);
        boxes_[b.setting] = box;
    }

    auto* buttons = new QDialogButtonBox;
    save_ = buttons->addButton("Save", QDialogButtonBox::AcceptRole);
    save_->setObjectName("SaveButton");
    save_->setDefault(true);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &EditBookmarkDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    name_->setFocus();
}

std::string EditBookmarkDialog::name() const { return name_->text().toStdString(); }

std::int32_t EditBookmarkDialog::settings() const {
    std::int32_t result = 0;
    for (const auto& [setting, box] : boxes_)
        if (box->isChecked()) result |= setting;
    return result;
}

void EditBookmarkDialog::accept() {
    if (const std::string problem = bookmarkDialogProblem(name(), settings()); !problem.empty()) {
        prompt_.error(problem);
        return;
    }
    QDialog::accept();
}

} // namespace volumira

#include "app/CorrelationDomainDialog.h"

#include "atlas/Structure.h"
#include "search/SearchConfig.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace volumira {

namespace {
// The last choice, for the whole run.
int lastRow = 0;
int lastPlanes = CorrelationDomainDialog::kCoronal;
} // namespace

CorrelationDomainDialog::CorrelationDomainDialog(const SearchConfig& config, QWidget* parent)
    : QDialog(parent), list_(new QListWidget), coronal_(new QRadioButton("Coronal")),
      sagittal_(new QRadioButton("Sagittal")), both_(new QRadioButton("Both")) {
    setObjectName("CorrelationDomainDialog");
    setWindowTitle("Find Similar Genes");
    list_->setObjectName("DomainList");
    for (int i = 0; i < config.similarDomainCount(); ++i) {
        const Structure* s = config.similarDomain(i);
        if (!s) continue;
        const QString indent(3 * config.similarIndent(i), ' ');
        list_->addItem(indent + QString::fromStdString(s->name + " (" + s->acronym + ")"));
        ids_.push_back(s->id);
    }
    if (list_->count() > 0) list_->setCurrentRow(std::min(lastRow, list_->count() - 1));
    coronal_->setObjectName("Coronal");
    sagittal_->setObjectName("Sagittal");
    both_->setObjectName("Both");
    (lastPlanes == kSagittal ? sagittal_ : lastPlanes == kBoth ? both_ : coronal_)->setChecked(true);

    auto* planes = new QGroupBox("Restrict plane of section to:");
    auto* planeRow = new QHBoxLayout(planes);
    planeRow->addWidget(coronal_);
    planeRow->addWidget(sagittal_);
    planeRow->addWidget(both_);
    auto* buttons = new QDialogButtonBox;
    QPushButton* find = buttons->addButton("Find", QDialogButtonBox::AcceptRole);
    find->setObjectName("Find");
    find->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName("Cancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Restrict comparison to:"));
    layout->addWidget(list_, 1);
    layout->addWidget(planes);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    resize(360, 420);
}

void CorrelationDomainDialog::accept() {
    const int row = list_->currentRow();
    structureId_ = row >= 0 && row < static_cast<int>(ids_.size()) ? ids_[row] : -1;
    planes_ = sagittal_->isChecked() ? kSagittal : both_->isChecked() ? kBoth : kCoronal;
    if (row >= 0) lastRow = row;
    lastPlanes = planes_;
    QDialog::accept();
}

std::optional<SimilarDomain> CorrelationDomainChooser::chooseSimilarDomain() {
    CorrelationDomainDialog dialog(config_(), parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return SimilarDomain{dialog.structureId(), dialog.planes()};
}

} // namespace volumira

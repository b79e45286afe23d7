#include "app/AnatomicSearchDialog.h"

#include "app/Prompt.h"
#include "search/SearchConfig.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

namespace volumira {

AnatomicSearchDialog::AnatomicSearchDialog(ConfigSource config, Prompt& prompt, FindHandler find, QWidget* parent)
    : QDialog(parent), config_(std::move(config)), prompt_(prompt), handler_(std::move(find)) {
    setObjectName("AnatomicSearchDialog");
    setWindowTitle("Anatomic Search");
    setModal(false);
    QStringList regions;
    for (const std::string& label : anatomicDomainLabels(config_())) regions << QString::fromStdString(label);
    const QStringList levels{"Any", "Low/Medium", "High"};
    const QStringList patterns{"Any", "Not clustered", "Clustered"};

    auto* grid = new QGridLayout;
    const char* headings[] = {"Anatomic Region", "Expression Level", "Expression Density", "Expression Pattern"};
    for (int column = 0; column < 4; ++column) grid->addWidget(new QLabel(headings[column]), 0, column + 1);
    const char* deleteTexts[] = {"", "&Delete", "D&elete"};
    for (int row = 0; row < AnatomicSearchRows::kMaxRows; ++row) {
        auto* op = new QComboBox;
        op->addItems({"And", "Or"});
        op->setObjectName(QString("Operator%1").arg(row));
        operators_[row] = op;
        if (row > 0) grid->addWidget(op, row + 1, 0);
        for (int column = 0; column < 4; ++column) {
            auto* list = new QComboBox;
            list->setObjectName(QString("Row%1List%2").arg(row).arg(column));
            list->addItems(column == 0 ? regions : column == 3 ? patterns : levels);
            if (column == 0) list->setMinimumWidth(220);
            lists_[row][column] = list;
            grid->addWidget(list, row + 1, column + 1);
        }
        auto* remove = new QPushButton(deleteTexts[row]);
        remove->setObjectName(QString("Delete%1").arg(row));
        delete_[row] = remove;
        if (row > 0) {
            grid->addWidget(remove, row + 1, 5);
            connect(remove, &QPushButton::clicked, this, [this, row] { deleteRow(row); });
        }
    }
    addRow_ = new QPushButton("&Add Row");
    addRow_->setObjectName("AddRow");
    find_ = new QPushButton("Find");
    find_->setObjectName("Find");
    find_->setDefault(true);
    auto* close = new QPushButton("Close");
    close->setObjectName("Close");
    connect(addRow_, &QPushButton::clicked, this, [this] { addRow(); });
    connect(find_, &QPushButton::clicked, this, [this] { this->find(); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addRow_);
    buttons->addStretch(1);
    buttons->addWidget(find_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    showRows();
}

void AnatomicSearchDialog::showRows() {
    for (int row = 0; row < AnatomicSearchRows::kMaxRows; ++row) {
        const bool visible = row < rows_.visibleRows();
        for (QComboBox* list : lists_[row]) list->setVisible(visible);
        operators_[row]->setVisible(visible && row > 0);
        delete_[row]->setVisible(visible && row > 0);
        if (!visible) continue;
        const AnatomicRow& r = rows_.row(row);
        lists_[row][0]->setCurrentIndex(r.region);
        lists_[row][1]->setCurrentIndex(r.level);
        lists_[row][2]->setCurrentIndex(r.density);
        lists_[row][3]->setCurrentIndex(r.pattern);
        operators_[row]->setCurrentIndex(r.joinOperator);
    }
    addRow_->setEnabled(rows_.visibleRows() < AnatomicSearchRows::kMaxRows);
}

void AnatomicSearchDialog::readRows() {
    for (int row = 0; row < rows_.visibleRows(); ++row) {
        AnatomicRow& r = rows_.row(row);
        r.region = lists_[row][0]->currentIndex();
        r.level = std::max(0, lists_[row][1]->currentIndex());
        r.density = std::max(0, lists_[row][2]->currentIndex());
        r.pattern = std::max(0, lists_[row][3]->currentIndex());
        r.joinOperator = std::max(0, operators_[row]->currentIndex());
    }
}

void AnatomicSearchDialog::addRow() {
    readRows();
    rows_.addRow();
    showRows();
}

void AnatomicSearchDialog::deleteRow(int row) {
    readRows();
    rows_.deleteRow(row);
    showRows();
}

void AnatomicSearchDialog::find() {
    readRows();
    AnatomicQuery query;
    try {
        query = rows_.build(config_());
    } catch (const std::exception& e) {
        prompt_.error(e.what());
        return;
    }
    if (handler_) handler_(query.text, query.caption);
}

} // namespace volumira

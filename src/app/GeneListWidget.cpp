#include "app/GeneListWidget.h"

#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <algorithm>

namespace volumira {

namespace {

QColor colourOf(const GeneExpression& gene) {
    const auto& c = gene.colour();
    const auto byte = [](float v) { return std::clamp(static_cast<int>(v * 255.0f), 0, 255); };
    return QColor(byte(c[0]), byte(c[1]), byte(c[2]));
}

} // namespace

class GeneListWidget::RowDelegate : public QStyledItemDelegate {
  public:
    explicit RowDelegate(GeneListWidget& list) : QStyledItemDelegate(&list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem text = option;
        initStyleOption(&text, index);
        const PanelMetrics& m = list_.metrics_;
        // The symbol keeps clear of the swatch and the box.
        text.rect.setWidth(std::max(0, option.rect.width() - 2 * m.checkWidth - 24));
        QStyle* style = list_.style();
        QStyleOptionViewItem background = option;
        background.text.clear();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, &list_);
        style->drawControl(QStyle::CE_ItemViewItem, &text, painter, &list_);
        const int row = index.row();
        if (row < 0 || row >= list_.model_.geneCount()) return;
        const GeneExpression& gene = list_.model_.geneAt(row);
        painter->fillRect(list_.swatchRect(option.rect), colourOf(gene));
        QStyleOptionButton box;
        box.initFrom(&list_);
        box.rect = list_.visibilityBoxRect(option.rect);
        box.state = QStyle::State_Enabled | (gene.isVisible() ? QStyle::State_On : QStyle::State_Off);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, &list_);
    }

  private:
    GeneListWidget& list_;
};

GeneListWidget::GeneListWidget(BrainExpressionModel& model, const PanelMetrics& metrics, QWidget* parent)
    : QListWidget(parent), model_(model), metrics_(metrics) {
    setObjectName("GeneList");
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new RowDelegate(*this));
    chooser_ = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, this);
        if (!chosen.isValid()) return std::nullopt;
        return chosen;
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GeneListWidget::selectionChangedByUser);
    for (int row = 0; row < model_.geneCount(); ++row) insertGeneRow(row);
}

std::vector<int> GeneListWidget::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void GeneListWidget::insertGeneRow(int row) {
    if (row < 0 || row >= model_.geneCount() || row > count()) return;
    insertItem(row, QString::fromStdString(model_.geneAt(row).symbol()));
}

void GeneListWidget::removeGeneRow(int row) {
    if (row < 0 || row >= count()) return;
    // A selected row that goes with its gene is no choice of the user's: the model settles the current
    // gene itself, and the gene is still in the model, so rows and genes are out of step meanwhile.
    const QSignalBlocker blocker(selectionModel());
    delete takeItem(row);
}

void GeneListWidget::selectGeneRow(int row) {
    if (row < 0 || row >= count()) return;
    const QSignalBlocker blocker(selectionModel());
    clearSelection();
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(row));
    viewport()->update();
}

QRect GeneListWidget::swatchRect(const QRect& row) const {
    const int right = row.right() - metrics_.checkWidth - 18;
    return QRect(right - metrics_.checkWidth + 1, row.top() + 1, metrics_.checkWidth, row.height() - 2);
}

QRect GeneListWidget::visibilityBoxRect(const QRect& row) const {
    return QRect(row.right() - 6 - metrics_.checkWidth, row.center().y() - metrics_.checkHeight / 2,
                 metrics_.checkWidth, metrics_.checkHeight);
}

bool GeneListWidget::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->ignore();
        return true;
    }
    return QListWidget::event(event);
}

void GeneListWidget::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void GeneListWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const QModelIndex index = indexAt(p);
    const int row = index.row();
    if (index.isValid() && row < model_.geneCount()) {
        const QRect rect = visualRect(index);
        const auto inColumn = [&](const QRect& r) { return p.x() >= r.left() && p.x() <= r.right(); };
        if (event->button() == Qt::LeftButton && inColumn(visibilityBoxRect(rect))) {
            model_.setGeneVisible(row, !model_.geneAt(row).isVisible());
            return;
        }
        if (event->button() == Qt::LeftButton && inColumn(swatchRect(rect))) {
            if (const std::optional<QColor> colour = chooser_(colourOf(model_.geneAt(row))))
                model_.setGeneColour(row, colour->red() / 255.0f, colour->green() / 255.0f, colour->blue() / 255.0f);
            return;
        }
        if (event->button() == Qt::RightButton) {
            // A right click on a row outside the selection selects that row first, as lists do.
            if (!selectionModel()->isSelected(index)) setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            if (onContextMenu) onContextMenu(event->globalPosition().toPoint());
            return;
        }
    }
    QListWidget::mousePressEvent(event);
}

void GeneListWidget::selectionChangedByUser(const QItemSelection& selected, const QItemSelection& deselected) {
    const auto geneOf = [this](int row) -> const GeneExpression* {
        return row >= 0 && row < model_.geneCount() ? &model_.geneAt(row) : nullptr;
    };
    if (!selected.indexes().isEmpty()) {
        int first = selected.indexes().first().row();
        for (const QModelIndex& index : selected.indexes()) first = std::min(first, index.row());
        model_.setCurrentGene(geneOf(first), true);
    } else if (!deselected.indexes().isEmpty()) {
        const std::vector<int> rows = selectedRows();
        model_.setCurrentGene(rows.empty() ? nullptr : geneOf(rows.front()), true);
    }
}

} // namespace volumira

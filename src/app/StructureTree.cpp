#include "app/StructureTree.h"

#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace volumira {

namespace {

QString itemText(const Structure& s) { return QString::fromStdString(s.name + " (" + s.acronym + ")"); }

QTreeWidgetItem* makeItem(const Structure& s) {
    auto* item = new QTreeWidgetItem(QStringList{itemText(s)});
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&s)));
    return item;
}

void addSubtree(QTreeWidgetItem* parent, const Structure& s) {
    for (const Structure* child : s.children) {
        QTreeWidgetItem* item = makeItem(*child);
        parent->addChild(item);
        addSubtree(item, *child);
    }
}

void expandWithChildren(QTreeWidgetItem* item) {
    if (item->childCount() > 0) item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i) expandWithChildren(item->child(i));
}

} // namespace

StructureTree::StructureTree(StructureTreeKind kind, BrainExpressionModel& model, const PanelMetrics& metrics,
                             QWidget* parent)
    : QTreeWidget(parent), kind_(kind), model_(model), metrics_(metrics) {
    setObjectName(kind == StructureTreeKind::Hierarchical ? "HierarchicalTree" : "AlphabeticalTree");
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(false);
    setColumnWidth(0, metrics_.structureColumn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(kind == StructureTreeKind::Hierarchical);
    setItemsExpandable(kind == StructureTreeKind::Hierarchical);
    setExpandsOnDoubleClick(kind == StructureTreeKind::Hierarchical);
    setDragEnabled(false);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!selecting_ && onStructureSelected) onStructureSelected(selectedStructure());
    });
}

void StructureTree::fill(const Ontology& ontology) {
    clear();
    if (kind_ == StructureTreeKind::Hierarchical) {
        QTreeWidgetItem* root = makeItem(ontology.root());
        addSubtree(root, ontology.root());
        addTopLevelItem(root);
        addTopLevelItem(makeItem(ontology.structureAt(0)));
        expandWithChildren(root);
    } else {
        for (const std::uint8_t index : ontology.nameOrder()) addTopLevelItem(makeItem(ontology.structureAt(index)));
    }
}

void StructureTree::setDetailViewShown(bool shown) {
    if (detailViewShown_ == shown) return;
    detailViewShown_ = shown;
    viewport()->update();
}

const Structure* StructureTree::structureOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<const Structure*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

const Structure* StructureTree::selectedStructure() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : structureOf(items.first());
}

QTreeWidgetItem* StructureTree::itemOf(const Structure* structure) const {
    if (!structure) return nullptr;
    // Depth first, in the order the rows show.
    std::vector<QTreeWidgetItem*> stack;
    for (int i = topLevelItemCount() - 1; i >= 0; --i) stack.push_back(topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        if (structureOf(item) == structure) return item;
        for (int i = item->childCount() - 1; i >= 0; --i) stack.push_back(item->child(i));
    }
    return nullptr;
}

void StructureTree::selectStructure(const Structure* structure) {
    selecting_ = true;
    if (QTreeWidgetItem* item = itemOf(structure)) {
        scrollToItem(item);
        setCurrentItem(item);
        item->setSelected(true);
    } else {
        clearSelection();
    }
    selecting_ = false;
}

void StructureTree::invalidateCheckColumns() {
    viewport()->update(QRect(metrics_.structureColumn, 0, viewport()->width() - metrics_.structureColumn,
                             viewport()->height()));
}

QRect StructureTree::swatchRect(const QRect& row) const {
    return QRect(row.left() + metrics_.structureColumn + 6, row.top() + 1, metrics_.checkWidth, row.height() - 2);
}

QRect StructureTree::shownBoxRect(const QRect& row) const {
    const int x = row.left() + metrics_.structureColumn + metrics_.checkWidth + 18;
    return QRect(x, row.center().y() - metrics_.checkHeight / 2, metrics_.checkWidth, metrics_.checkHeight);
}

QRect StructureTree::expressionBoxRect(const QRect& row) const {
    const int x = row.left() + metrics_.structureColumn + 2 * metrics_.checkWidth + 30;
    return QRect(x, row.center().y() - metrics_.checkHeight / 2, metrics_.checkWidth, metrics_.checkHeight);
}

bool StructureTree::shownBoxEnabled(const Structure& s) const { return s.index != 0 && detailViewShown_; }

bool StructureTree::expressionBoxEnabled(const Structure& s) const { return s.index != 0 || detailViewShown_; }

void StructureTree::drawCheck(QPainter* painter, const QRect& rect, bool ticked, bool enabled) const {
    QStyleOptionButton box;
    box.initFrom(this);
    box.rect = rect;
    box.state = (ticked ? QStyle::State_On : QStyle::State_Off) | (enabled ? QStyle::State_Enabled : QStyle::State_None);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, this);
}

void StructureTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    const Structure* s = structureOf(itemFromIndex(index));
    if (!s) return;
    const QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
    painter->save();
    // The cells right of the structure column are drawn on white whatever the row's selection.
    painter->fillRect(QRect(metrics_.structureColumn, row.top(), row.width() - metrics_.structureColumn, row.height()),
                      palette().base());
    painter->fillRect(swatchRect(row), QColor(s->red, s->green, s->blue));
    drawCheck(painter, shownBoxRect(row), model_.shownStructures().intersects(s->selfSet), shownBoxEnabled(*s));
    drawCheck(painter, expressionBoxRect(row), model_.expressionStructures().intersects(s->selfSet),
              expressionBoxEnabled(*s));
    painter->restore();
}

bool StructureTree::handleBoxPress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    const QPoint p = event->position().toPoint();
    // The boxes lie right of the tree's one column: find the row by its height alone.
    QTreeWidgetItem* item = itemAt(QPoint(metrics_.structureColumn / 2, p.y()));
    const Structure* s = structureOf(item);
    if (!s) return false;
    const QRect itemRect = visualItemRect(item);
    const QRect row(0, itemRect.top(), viewport()->width(), itemRect.height());
    const bool control = event->modifiers() & Qt::ControlModifier;
    // A box takes the whole height of its row, as a narrow row is hard to hit.
    const auto inColumn = [&](const QRect& box) { return p.x() >= box.left() && p.x() <= box.right(); };
    if (inColumn(shownBoxRect(row))) {
        if (shownBoxEnabled(*s) && onShownClicked) onShownClicked(*s, control);
        return true;
    }
    if (inColumn(expressionBoxRect(row))) {
        if (expressionBoxEnabled(*s) && onExpressionClicked) onExpressionClicked(*s, control);
        return true;
    }
    return false;
}

bool StructureTree::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->ignore();
        return true;
    }
    return QTreeWidget::event(event);
}

void StructureTree::mousePressEvent(QMouseEvent* event) {
    if (!handleBoxPress(event)) QTreeWidget::mousePressEvent(event);
}

void StructureTree::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click on a box is another toggle, not an expansion.
    if (!handleBoxPress(event)) QTreeWidget::mouseDoubleClickEvent(event);
}

void StructureTree::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        const Structure* s = selectedStructure();
        if (s && shownBoxEnabled(*s) && onShownClicked) onShownClicked(*s, false);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace volumira

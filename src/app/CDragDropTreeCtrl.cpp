#include "app/CDragDropTreeCtrl.h"

#include "app/BookmarkItem.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace volumira {

namespace {

// Commits a label only when it is not empty and differs from the old one, then tells the tree.
class LabelDelegate : public QStyledItemDelegate {
  public:
    explicit LabelDelegate(CDragDropTreeCtrl& tree) : QStyledItemDelegate(&tree), tree_(tree) {}
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        const QString text = line->text();
        if (text.isEmpty() || text == index.data(Qt::DisplayRole).toString()) return;
        model->setData(index, text, Qt::EditRole);
        if (tree_.onLabelEdited) tree_.onLabelEdited(tree_.itemOf(index));
    }

  private:
    CDragDropTreeCtrl& tree_;
};

bool isInside(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor) {
    for (const QTreeWidgetItem* i = item; i; i = i->parent())
        if (i == ancestor) return true;
    return false;
}

int indexIn(const QTreeWidget& tree, QTreeWidgetItem* item) {
    return item->parent() ? item->parent()->indexOfChild(item) : tree.indexOfTopLevelItem(item);
}

// Expanded states of a copied subtree follow the original's.
void copyExpanded(const QTreeWidgetItem* from, QTreeWidgetItem* to) {
    for (int i = 0; i < from->childCount() && i < to->childCount(); ++i)
        copyExpanded(from->child(i), to->child(i));
    to->setExpanded(from->isExpanded());
}

} // namespace

CDragDropTreeCtrl::CDragDropTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setItemDelegate(new LabelDelegate(*this));
    setRootIsDecorated(true);
    autoTimer_.setSingleShot(false);
    connect(&autoTimer_, &QTimer::timeout, this, [this] { autoTick(); });
}

CDragDropTreeCtrl::~CDragDropTreeCtrl() = default;

QRect CDragDropTreeCtrl::iconRect(QTreeWidgetItem* item) const {
    const QRect r = visualItemRect(item);
    const int icon = iconSize().isValid() ? iconSize().width() : 16;
    return QRect(r.left(), r.top(), icon + 4, r.height());
}

QRect CDragDropTreeCtrl::labelRect(QTreeWidgetItem* item) const {
    const QRect icon = iconRect(item);
    return QRect(icon.right() + 1, icon.top(), fontMetrics().horizontalAdvance(item->text(0)) + 8, icon.height());
}

bool CDragDropTreeCtrl::onItem(QTreeWidgetItem* item, const QPoint& at) const {
    return item && (iconRect(item).contains(at) || labelRect(item).contains(at));
}

bool CDragDropTreeCtrl::belowAllItems(const QPoint& at) const {
    if (topLevelItemCount() == 0) return at.y() >= 0;
    QTreeWidgetItem* last = topLevelItem(topLevelItemCount() - 1);
    while (last->isExpanded() && last->childCount() > 0)
        last = last->child(last->childCount() - 1);
    return at.y() > visualItemRect(last).bottom();
}

// ---- clicks and keys ----

void CDragDropTreeCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(at);
    pressed_ = nullptr;
    if (event->button() == Qt::RightButton) return;
    if (event->button() != Qt::LeftButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    if (onItem(item, at)) {
        setCurrentItem(item);
        pressed_ = asBookmarkItem(item);
        pressAt_ = at;
        return;
    }
    // Left of the item lies its expand button, which the view handles; anywhere else clears the selection.
    if (item && at.x() < visualItemRect(item).left()) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    clearSelection();
    setCurrentItem(nullptr);
}

void CDragDropTreeCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (dragged_) {
        updateDrag(at);
        return;
    }
    if (pressed_ && (event->buttons() & Qt::LeftButton) &&
        (at - pressAt_).manhattanLength() >= QApplication::startDragDistance()) {
        beginDrag(at);
        return;
    }
    if (!pressed_) QTreeWidget::mouseMoveEvent(event);
}

void CDragDropTreeCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = itemAt(at); item && onContextMenu) onContextMenu(item, event->globalPosition().toPoint());
        return;
    }
    if (dragged_ && event->button() == Qt::LeftButton) {
        endDrag(at);
        pressed_ = nullptr;
        return;
    }
    BookmarkItem* clicked = pressed_;
    pressed_ = nullptr;
    if (clicked && event->button() == Qt::LeftButton) {
        if (onItem(clicked, at) && !(event->modifiers() & Qt::ShiftModifier) && onItemClicked)
            onItemClicked(clicked, event->modifiers());
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CDragDropTreeCtrl::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState) {
        QTreeWidgetItem* item = currentItem();
        if (item && item->isSelected() && onEnter) onEnter(item, event->modifiers());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CDragDropTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    // A right click opens the menu on its release; the menu key opens it for the selected item.
    if (event->reason() == QContextMenuEvent::Mouse) return;
    if (QTreeWidgetItem* item = currentItem(); item && onContextMenu)
        onContextMenu(item, viewport()->mapToGlobal(visualItemRect(item).center()));
}

// ---- dragging ----

void CDragDropTreeCtrl::beginDrag(const QPoint& at) {
    dragged_ = pressed_;
    const QRect row = visualItemRect(dragged_);
    const QRect label = labelRect(dragged_);
    QPixmap image(label.right() - row.left() + 1, row.height());
    image.fill(Qt::transparent);
    {
        QPainter g(&image);
        g.setOpacity(0.6);
        const QRect icon = iconRect(dragged_);
        dragged_->icon(0).paint(&g, QRect(0, (row.height() - 16) / 2, 16, 16));
        g.setPen(palette().color(QPalette::Text));
        g.drawText(QRect(icon.width(), 0, label.width(), row.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   dragged_->text(0));
    }
    dragImage_ = new QLabel(viewport());
    dragImage_->setObjectName("BookmarkDragImage");
    dragImage_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dragImage_->setPixmap(image);
    dragImage_->resize(image.size());
    imageOffset_ = row.topLeft() - pressAt_;
    dragImage_->show();
    updateDrag(at);
}

CDragDropTreeCtrl::Drop CDragDropTreeCtrl::dropAt(const QPoint& at) const {
    Drop drop;
    QTreeWidgetItem* item = itemAt(at);
    if (!item) {
        if (!belowAllItems(at) || at.x() < 0 || at.x() >= viewport()->width()) return drop;
        // Below every item: the end of the top level.
        drop.place = {nullptr, topLevelItemCount()};
        drop.valid = true;
        if (topLevelItemCount() > 0) {
            drop.markItem = topLevelItem(topLevelItemCount() - 1);
            drop.side = MarkSide::After;
        }
        return drop;
    }
    if (isInside(item, dragged_)) {
        drop.allowed = false;
        return drop;
    }
    drop.target = item;
    drop.valid = true;
    QTreeWidgetItem* parent = item->parent();
    const int index = indexIn(*this, item);
    const BookmarkItem* target = asBookmarkItem(item);
    if (target && target->isGroup()) {
        if (at.x() <= iconRect(item).right()) {
            drop.markItem = item;
            drop.side = MarkSide::After;
            drop.place = {parent, index + 1};
        } else {
            if (item->childCount() > 0) {
                drop.markItem = item->child(0);
                drop.side = MarkSide::Before;
            }
            drop.place = {item, 0};
        }
        return drop;
    }
    const QRect row = visualItemRect(item);
    drop.markItem = item;
    if (at.y() >= row.center().y() + (row.height() % 2 == 0 ? 1 : 0)) {
        drop.side = MarkSide::After;
        drop.place = {parent, index + 1};
    } else {
        drop.side = MarkSide::Before;
        drop.place = {parent, index};
    }
    return drop;
}

void CDragDropTreeCtrl::updateDrag(const QPoint& at) {
    lastDragAt_ = at;
    if (dragImage_) dragImage_->move(at + imageOffset_);
    const Drop drop = dropAt(at);
    dropTarget_ = drop.target;
    markItem_ = drop.markItem;
    markSide_ = drop.side;
    if (drop.allowed)
        viewport()->unsetCursor();
    else
        viewport()->setCursor(Qt::ForbiddenCursor);

    const bool atEdge = at.y() < kEdgeZone || at.y() >= viewport()->height() - kEdgeZone;
    QTreeWidgetItem* under = itemAt(at);
    const bool expandable = under && !under->isExpanded() && under->childCount() > 0;
    if (atEdge || expandable) {
        if (!autoTimer_.isActive()) autoTimer_.start(kFirstAutoTickMs);
    } else {
        autoTimer_.stop();
    }
    viewport()->update();
}

void CDragDropTreeCtrl::autoTick() {
    autoTimer_.setInterval(kAutoTickMs);
    const QPoint at = lastDragAt_;
    if (!dragged_) {
        autoTimer_.stop();
        return;
    }
    if (at.y() < kEdgeZone || at.y() >= viewport()->height() - kEdgeZone) {
        dragImage_->hide();
        verticalScrollBar()->triggerAction(at.y() < kEdgeZone ? QAbstractSlider::SliderSingleStepSub
                                                              : QAbstractSlider::SliderSingleStepAdd);
        dragImage_->show();
    } else if (QTreeWidgetItem* under = itemAt(at); under && !under->isExpanded() && under->childCount() > 0) {
        under->setExpanded(true);
        autoTimer_.stop();
    } else {
        autoTimer_.stop();
    }
    updateDrag(at);
}

void CDragDropTreeCtrl::endDrag(const QPoint& at) {
    const Drop drop = dropAt(at);
    autoTimer_.stop();
    delete dragImage_;
    dragImage_ = nullptr;
    viewport()->unsetCursor();
    clearMarks();
    if (drop.valid && drop.allowed) moveDragged(drop.place);
    dragged_ = nullptr;
    viewport()->update();
}

void CDragDropTreeCtrl::moveDragged(const Place& place) {
    BookmarkItem* item = dragged_;
    QTreeWidgetItem* oldParent = item->parent();
    const int oldIndex = indexIn(*this, item);
    if (place.parent == oldParent && (place.index == oldIndex || place.index == oldIndex + 1)) return;
    BookmarkItem* copy = item->copySubtree().release();
    if (place.parent)
        place.parent->insertChild(place.index, copy);
    else
        insertTopLevelItem(place.index, copy);
    copyExpanded(item, copy);
    setCurrentItem(copy);
    delete item;
    dragModified_ = true;
}

void CDragDropTreeCtrl::clearMarks() {
    dropTarget_ = nullptr;
    markItem_ = nullptr;
    markSide_ = MarkSide::None;
}

void CDragDropTreeCtrl::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    if (!dragged_) return;
    QPainter g(viewport());
    if (dropTarget_) {
        QColor highlight = palette().color(QPalette::Highlight);
        highlight.setAlpha(90);
        g.fillRect(visualItemRect(dropTarget_), highlight);
    }
    if (markItem_ && markSide_ != MarkSide::None) {
        const QRect r = visualItemRect(markItem_);
        const int y = markSide_ == MarkSide::Before ? r.top() : r.bottom();
        g.setPen(QPen(palette().color(QPalette::Text), 2));
        g.drawLine(r.left(), y, viewport()->width() - 2, y);
        g.drawLine(r.left(), y - 3, r.left(), y + 3);
        g.drawLine(viewport()->width() - 2, y - 3, viewport()->width() - 2, y + 3);
    }
}

} // namespace volumira

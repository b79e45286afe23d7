#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <functional>

class QLabel;

namespace volumira {

class BookmarkItem;

// The bookmarks tree: editable labels, clicks and Enter reported to its owner, and items moved by
// dragging them with the mouse, with a drag image, a highlighted drop target, an insertion mark, the
// "not allowed" cursor over the dragged item's own subtree, and scrolling and expanding while dragging.
// Items are BookmarkItems; the tree keeps its own modified flag for moves.
class CDragDropTreeCtrl : public QTreeWidget {
  public:
    // Within this many pixels of the top or bottom edge a drag scrolls.
    static constexpr int kEdgeZone = 10;
    static constexpr int kFirstAutoTickMs = 500, kAutoTickMs = 200;
    enum class MarkSide { None, Before, After };

    explicit CDragDropTreeCtrl(QWidget* parent = nullptr);
    ~CDragDropTreeCtrl() override;

    bool dragModified() const { return dragModified_; }
    bool dragging() const { return dragged_ != nullptr; }
    QTreeWidgetItem* dropTarget() const { return dropTarget_; }
    QTreeWidgetItem* insertMarkItem() const { return markItem_; }
    MarkSide insertMarkSide() const { return markSide_; }
    // The parts of an item's row that count as the item for clicks and drops (viewport coordinates).
    QRect iconRect(QTreeWidgetItem* item) const;
    QRect labelRect(QTreeWidgetItem* item) const;
    QTreeWidgetItem* itemOf(const QModelIndex& index) const { return itemFromIndex(index); }
    bool editingLabel() const { return state() == EditingState; }

    // A left click on an item's icon or label (Shift not held).
    std::function<void(QTreeWidgetItem*, Qt::KeyboardModifiers)> onItemClicked;
    // Enter with an item selected.
    std::function<void(QTreeWidgetItem*, Qt::KeyboardModifiers)> onEnter;
    // A right click on an item, at a global position.
    std::function<void(QTreeWidgetItem*, const QPoint&)> onContextMenu;
    // A label edited to a new, non-empty text.
    std::function<void(QTreeWidgetItem*)> onLabelEdited;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Where a drop at a point would put the dragged item: a parent (null for the top level) and an index
    // among its children, counted before the item leaves its old place.
    struct Place {
        QTreeWidgetItem* parent = nullptr;
        int index = 0;
    };
    struct Drop {
        QTreeWidgetItem* target = nullptr;
        QTreeWidgetItem* markItem = nullptr;
        MarkSide side = MarkSide::None;
        bool allowed = true;
        bool valid = false;
        Place place;
    };

    bool onItem(QTreeWidgetItem* item, const QPoint& at) const;
    bool belowAllItems(const QPoint& at) const;
    Drop dropAt(const QPoint& at) const;
    void beginDrag(const QPoint& at);
    void updateDrag(const QPoint& at);
    void endDrag(const QPoint& at);
    void autoTick();
    void moveDragged(const Place& place);
    void clearMarks();

    BookmarkItem* pressed_ = nullptr;
    QPoint pressAt_;
    QPoint imageOffset_;
    BookmarkItem* dragged_ = nullptr;
    QLabel* dragImage_ = nullptr;
    QTreeWidgetItem* dropTarget_ = nullptr;
    QTreeWidgetItem* markItem_ = nullptr;
    MarkSide markSide_ = MarkSide::None;
    QPoint lastDragAt_;
    QTimer autoTimer_;
    bool dragModified_ = false;
};

} // namespace volumira

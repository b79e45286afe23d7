#pragma once

#include "app/PanelMetrics.h"
#include "document/StructureChecks.h"

#include <QTreeWidget>
#include <functional>

namespace volumira {

class BrainExpressionModel;
class Ontology;
struct Structure;

// One of the two structure trees of the side panel. Each row shows the structure's name, then its colour,
// an "A" box (drawn in the scene) and a "G" box (its expression shown). The boxes are drawn over the row
// and answer clicks themselves; the rest of the row selects as usual.
class StructureTree : public QTreeWidget {
  public:
    // The model must outlive the tree.
    StructureTree(StructureTreeKind kind, BrainExpressionModel& model, const PanelMetrics& metrics,
                  QWidget* parent = nullptr);

    // The hierarchical tree: the root with its subtree, expanded, then "No Annotation"; the alphabetical
    // tree: every structure by name, "No Annotation" last.
    void fill(const Ontology& ontology);
    StructureTreeKind kind() const { return kind_; }
    // Off the scene the "A" boxes are disabled, and so is "G" of "No Annotation".
    void setDetailViewShown(bool shown);
    // Selects and shows the structure's item; null clears the selection.
    void selectStructure(const Structure* structure);
    // Redraws the part of the rows right of the structure column.
    void invalidateCheckColumns();
    static const Structure* structureOf(const QTreeWidgetItem* item);
    const Structure* selectedStructure() const;
    QTreeWidgetItem* itemOf(const Structure* structure) const;

    // Where the boxes of a row lie, in viewport coordinates.
    QRect swatchRect(const QRect& row) const;
    QRect shownBoxRect(const QRect& row) const;
    QRect expressionBoxRect(const QRect& row) const;

    // A click on an enabled box; the bool says whether Ctrl was held.
    std::function<void(const Structure&, bool)> onShownClicked;
    std::function<void(const Structure&, bool)> onExpressionClicked;
    // The user selected an item (not a selection made by selectStructure).
    std::function<void(const Structure*)> onStructureSelected;

  protected:
    // Copy is the program's command, not the item view's own copy of the current row.
    bool event(QEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool shownBoxEnabled(const Structure& s) const;
    bool expressionBoxEnabled(const Structure& s) const;
    void drawCheck(QPainter* painter, const QRect& rect, bool ticked, bool enabled) const;
    // True when the press hit an enabled box and was handled.
    bool handleBoxPress(QMouseEvent* event);

    StructureTreeKind kind_;
    BrainExpressionModel& model_;
    PanelMetrics metrics_;
    bool detailViewShown_ = true;
    bool selecting_ = false;
};

} // namespace volumira

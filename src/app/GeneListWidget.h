#pragma once

#include "app/PanelMetrics.h"

#include <QColor>
#include <QListWidget>
#include <functional>
#include <optional>
#include <vector>

namespace volumira {

class BrainExpressionModel;

// The genes of the detail model, one row each: the symbol, the gene's colour (a click opens the colour
// chooser) and a box for its visibility. Selecting rows by hand makes a gene the model's current one;
// what the model does itself (adding, removing, selecting a cell) only moves the rows, since the model
// keeps its current gene on its own.
class GeneListWidget : public QListWidget {
  public:
    using ColourChooser = std::function<std::optional<QColor>(const QColor& initial)>;

    // The model must outlive the list.
    GeneListWidget(BrainExpressionModel& model, const PanelMetrics& metrics, QWidget* parent = nullptr);

    // Rows in ascending order.
    std::vector<int> selectedRows() const;
    // Clears the selection, selects the row and shows it; nothing out of range.
    void selectGeneRow(int row);
    void insertGeneRow(int row);
    void removeGeneRow(int row);

    QRect swatchRect(const QRect& row) const;
    QRect visibilityBoxRect(const QRect& row) const;
    // Shown for a click on a colour swatch; the platform's chooser unless replaced.
    void setColourChooser(ColourChooser chooser) { chooser_ = std::move(chooser); }
    // A right click on a row, at this global position.
    std::function<void(const QPoint&)> onContextMenu;

  protected:
    // Copy is the program's command, not the item view's own copy of the current row.
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class RowDelegate;
    void selectionChangedByUser(const QItemSelection& selected, const QItemSelection& deselected);

    BrainExpressionModel& model_;
    PanelMetrics metrics_;
    ColourChooser chooser_;
};

} // namespace volumira

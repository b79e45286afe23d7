#pragma once

#include "search/AnatomicQuery.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QPushButton;
class QWidget;

namespace volumira {

class Prompt;
class SearchConfig;

// "Anatomic Search": up to three rows of a region with its expression filters, joined by And or Or.
// "Find" hands the query and its caption on; "Close" only hides the dialog, which is made once and kept.
class AnatomicSearchDialog : public QDialog {
  public:
    using FindHandler = std::function<void(const std::string& query, const std::string& caption)>;
    // The configuration of the moment: an update from the server may replace it while the dialog is kept.
    using ConfigSource = std::function<const SearchConfig&()>;

    // The prompt must outlive the dialog; row errors are shown through it.
    AnatomicSearchDialog(ConfigSource config, Prompt& prompt, FindHandler find, QWidget* parent = nullptr);

    // The lists of a row (0..2): region, level, density, pattern; and the operator before rows 1 and 2.
    QComboBox& list(int row, int column) { return *lists_[row][column]; }
    QComboBox& joinOperator(int row) { return *operators_[row]; }
    QPushButton& addRowButton() { return *addRow_; }
    QPushButton& deleteButton(int row) { return *delete_[row]; }
    QPushButton& findButton() { return *find_; }
    int visibleRows() const { return rows_.visibleRows(); }

  private:
    void addRow();
    void deleteRow(int row);
    void find();
    // Shows the visible rows and the lists' selections of the model.
    void showRows();
    // Copies what the lists show into the model.
    void readRows();

    ConfigSource config_;
    Prompt& prompt_;
    FindHandler handler_;
    AnatomicSearchRows rows_;
    std::array<std::array<QComboBox*, 4>, AnatomicSearchRows::kMaxRows> lists_{};
    std::array<QComboBox*, AnatomicSearchRows::kMaxRows> operators_{};
    std::array<QPushButton*, AnatomicSearchRows::kMaxRows> delete_{};
    std::array<QWidget*, AnatomicSearchRows::kMaxRows> rowWidgets_{};
    QPushButton* addRow_ = nullptr;
    QPushButton* find_ = nullptr;
};

} // namespace volumira

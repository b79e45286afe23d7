#pragma once

// The anatomic search: up to three rows, each an anatomical region with optional filters on expression
// level, density and pattern, joined by "and" or "or" into one query text for an anatomic text search.

#include "search/SearchConfig.h"

#include <array>
#include <string>
#include <vector>

namespace volumira {

// The selections of one row, as list positions.
struct AnatomicRow {
    // Position in the configuration's anatomic domains; -1 while none is selected.
    int region = -1;
    // 0 "Any", 1 "Low/Medium", 2 "High".
    int level = 0;
    // 0 "Any", 1 "Low/Medium", 2 "High".
    int density = 0;
    // 0 "Any", 1 "Not clustered", 2 "Clustered".
    int pattern = 0;
    // The operator before this row (not used for the first): 0 "And", otherwise "Or".
    int joinOperator = 0;
};

struct AnatomicQuery {
    std::string text;
    // The acronyms joined like the terms; the title of the result list.
    std::string caption;
};

// "structac=" + acronym + "[" + the chosen filters separated by ";" + "]". Throws std::runtime_error
// "Anatomic region must be specified." without a region, and "At least one expression level, coverage, or
// pattern filter must be chosen for each row." when every filter is "Any".
std::string anatomicTerm(const Structure* region, const AnatomicRow& row);

// The items of a region list: three spaces per indent level and the structure's name; a domain without a
// structure shows its indentation alone, so that positions and domain indices stay equal.
std::vector<std::string> anatomicDomainLabels(const SearchConfig& config);

// The visible rows of the search and what turns them into a query.
class AnatomicSearchRows {
  public:
    static constexpr int kMaxRows = 3;

    int visibleRows() const { return visible_; }
    // Row i from 0; throws std::invalid_argument outside the visible rows.
    AnatomicRow& row(int i);
    const AnatomicRow& row(int i) const;

    // Shows the next row with every list at its first item; false when all rows are shown.
    bool addRow();
    // Hides row i (1 or 2, the rows with a delete button) and moves the selections of the rows below it up
    // by one. Throws std::invalid_argument for any other row.
    void deleteRow(int i);

    // The terms of the visible rows in order, joined by " and " or " or " as each row's operator says. The
    // row errors of anatomicTerm pass on; a region position outside the configuration counts as none.
    AnatomicQuery build(const SearchConfig& config) const;

  private:
    std::array<AnatomicRow, kMaxRows> rows_{};
    int visible_ = 1;
};

} // namespace volumira

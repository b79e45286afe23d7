#pragma once

// Gene list files: comma-separated lines of genes or experiments, a header line first, as the user keeps
// them from earlier searches or from other tools.

#include "expression/GeneExpression.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace volumira {

// Splits one line: commas separate fields, a double quote toggles a quoted section in which commas stay
// part of the field, the quotes themselves are dropped, and the text after the last comma is always a
// field (so an empty line gives one empty field).
std::vector<std::string> splitGeneListLine(std::string_view line);

// Which column holds what, decided from the header line.
class GeneListColumns {
  public:
    // The id kind ("id", "geneName", "geneSymbol" first) names genes by id; otherwise the symbol is in
    // column 0 and column 1 holds experiment ids (when its header is contained in "experiment", an empty
    // one included) or image series ids, and later "genename" and "geneid" columns (any case) add the name
    // and the gene id. The header must have at least two fields; the caller checks.
    explicit GeneListColumns(const std::vector<std::string>& header);

    // The gene of a further line; nullopt for a line whose column-1 number and gene id are both 0.
    std::optional<GeneExpression::GeneListLine> read(const std::vector<std::string>& fields) const;

    bool idKind() const { return idKind_; }
    bool experimentIds() const { return experimentIds_; }

  private:
    bool idKind_ = false;
    bool experimentIds_ = false;
    int symbolColumn_ = 0;
    int nameColumn_ = -1;
    int geneIdColumn_ = -1;
};

} // namespace volumira

#include "search/GeneListFile.h"

#include "search/TextValues.h"

namespace volumira {

namespace {

const std::string* fieldAt(const std::vector<std::string>& fields, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= fields.size()) return nullptr;
    return &fields[static_cast<std::size_t>(column)];
}

} // namespace

std::vector<std::string> splitGeneListLine(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(std::move(field));
    return fields;
}

GeneListColumns::GeneListColumns(const std::vector<std::string>& header) {
    idKind_ = header.size() > 2 && header[0] == "id" && header[1] == "geneName" && header[2] == "geneSymbol";
    if (idKind_) {
        geneIdColumn_ = 0;
        nameColumn_ = 1;
        symbolColumn_ = 2;
        return;
    }
    experimentIds_ = header.size() > 1 && std::string_view("experiment").find(header[1]) != std::string::npos;
    for (std::size_t i = 2; i < header.size(); ++i) {
        if (equalsIgnoringCase(header[i], "genename")) nameColumn_ = static_cast<int>(i);
        if (equalsIgnoringCase(header[i], "geneid")) geneIdColumn_ = static_cast<int>(i);
    }
}

std::optional<GeneExpression::GeneListLine>
GeneListColumns::read(const std::vector<std::string>& fields) const {
    GeneExpression::GeneListLine line;
    int number = 0;
    if (!idKind_)
        if (const std::string* text = fieldAt(fields, 1)) number = leadingInteger(*text);
    if (const std::string* text = fieldAt(fields, nameColumn_)) line.name = *text;
    if (const std::string* text = fieldAt(fields, geneIdColumn_)) line.geneId = leadingInteger(*text);
    if (const std::string* text = fieldAt(fields, symbolColumn_)) line.symbol = *text;
    if (number == 0 && line.geneId == 0) return std::nullopt;
    (experimentIds_ ? line.experimentId : line.imageSeriesId) = number;
    return line;
}

} // namespace volumira

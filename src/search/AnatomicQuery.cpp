#include "search/AnatomicQuery.h"

#include <stdexcept>

namespace volumira {

namespace {

// Appends "name=value" for a filter set to 1 or 2; "Any" (0) adds nothing.
void appendFilter(std::string& filters, const char* name, int choice) {
    if (choice != 1 && choice != 2) return;
    if (!filters.empty()) filters += ';';
    filters += name;
    filters += '=';
    filters += static_cast<char>('0' + choice);
}

const Structure* regionOf(const SearchConfig& config, const AnatomicRow& row) {
    if (row.region < 0 || row.region >= config.anatomicDomainCount()) return nullptr;
    return config.anatomicDomain(row.region);
}

} // namespace

std::string anatomicTerm(const Structure* region, const AnatomicRow& row) {
    if (region == nullptr) throw std::runtime_error("Anatomic region must be specified.");
    std::string filters;
    appendFilter(filters, "xlevel", row.level);
    appendFilter(filters, "xdensity", row.density);
    appendFilter(filters, "xpattern", row.pattern);
    if (filters.empty())
        throw std::runtime_error(
            "At least one expression level, coverage, or pattern filter must be chosen for each row.");
    return "structac=" + region->acronym + "[" + filters + "]";
}

std::vector<std::string> anatomicDomainLabels(const SearchConfig& config) {
    std::vector<std::string> labels;
    for (int i = 0; i < config.anatomicDomainCount(); ++i) {
        std::string label(static_cast<std::size_t>(3 * config.anatomicIndent(i)), ' ');
        if (const Structure* structure = config.anatomicDomain(i)) label += structure->name;
        labels.push_back(std::move(label));
    }
    return labels;
}

AnatomicRow& AnatomicSearchRows::row(int i) {
    if (i < 0 || i >= visible_) throw std::invalid_argument("Anatomic search row out of range.");
    return rows_[static_cast<std::size_t>(i)];
}

const AnatomicRow& AnatomicSearchRows::row(int i) const {
    return const_cast<AnatomicSearchRows*>(this)->row(i);
}

bool AnatomicSearchRows::addRow() {
    if (visible_ == kMaxRows) return false;
    rows_[static_cast<std::size_t>(visible_)] = AnatomicRow{};
    ++visible_;
    return true;
}

void AnatomicSearchRows::deleteRow(int i) {
    if (i < 1 || i >= visible_) throw std::invalid_argument("Anatomic search row cannot be deleted.");
    for (int k = i; k + 1 < visible_; ++k)
        rows_[static_cast<std::size_t>(k)] = rows_[static_cast<std::size_t>(k + 1)];
    --visible_;
    rows_[static_cast<std::size_t>(visible_)] = AnatomicRow{};
}

AnatomicQuery AnatomicSearchRows::build(const SearchConfig& config) const {
    AnatomicQuery query;
    for (int i = 0; i < visible_; ++i) {
        const AnatomicRow& r = rows_[static_cast<std::size_t>(i)];
        const Structure* region = regionOf(config, r);
        const std::string term = anatomicTerm(region, r);
        if (i > 0) {
            const char* join = r.joinOperator == 0 ? " and " : " or ";
            query.text += join;
            query.caption += join;
        }
        query.text += term;
        query.caption += region->acronym;
    }
    return query;
}

} // namespace volumira

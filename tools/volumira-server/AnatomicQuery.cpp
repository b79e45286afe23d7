#include "volumira-server/AnatomicQuery.h"

#include <stdexcept>

namespace volumira::server {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& text) {
    throw std::invalid_argument("Bad anatomic query (" + what + "): " + text);
}

bool startsWith(const std::string& text, std::size_t at, const std::string& prefix) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

void parseFilter(const std::string& filter, AnatomicTerm& term, const std::string& text) {
    const auto equals = filter.find('=');
    const std::string name = filter.substr(0, equals),
                      value = equals == std::string::npos ? "" : filter.substr(equals + 1);
    if (value != "1" && value != "2") fail("filter value must be 1 or 2 in \"" + filter + "\"", text);
    const int v = value[0] - '0';
    if (name == "xlevel")
        term.level = v;
    else if (name == "xdensity")
        term.density = v;
    else if (name == "xpattern")
        term.pattern = v;
    else
        fail("unknown filter \"" + name + "\"", text);
}

} // namespace

AnatomicQuery parseAnatomicQuery(const std::string& text) {
    AnatomicQuery query(1);
    std::size_t at = 0;
    for (;;) {
        if (!startsWith(text, at, "structac=")) fail("a term must start with structac=", text);
        at += 9;
        const auto open = text.find('[', at);
        if (open == std::string::npos || open == at) fail("missing structure acronym or '['", text);
        const auto close = text.find(']', open);
        if (close == std::string::npos) fail("missing ']'", text);
        AnatomicTerm term;
        term.acronym = text.substr(at, open - at);
        if (term.acronym.find_first_of(" ;=]") != std::string::npos) fail("bad structure acronym", text);
        const std::string filters = text.substr(open + 1, close - open - 1);
        if (filters.empty()) fail("a term needs at least one filter", text);
        std::size_t start = 0;
        for (;;) {
            const auto end = filters.find(';', start);
            parseFilter(filters.substr(start, end - start), term, text);
            if (end == std::string::npos) break;
            start = end + 1;
        }
        query.back().push_back(std::move(term));
        at = close + 1;
        if (at == text.size()) return query;
        if (startsWith(text, at, " and ")) {
            at += 5;
        } else if (startsWith(text, at, " or ")) {
            at += 4;
            query.emplace_back();
        } else {
            fail("terms must be joined by \" and \" or \" or \"", text);
        }
    }
}

} // namespace volumira::server

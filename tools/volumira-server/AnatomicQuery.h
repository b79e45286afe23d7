#pragma once

// The anatomic query language of the gene search:
//   query  = term { (" and " | " or ") term }
//   term   = "structac=" ACRONYM "[" filter { ";" filter } "]"
//   filter = ("xlevel" | "xdensity" | "xpattern") "=" ("1" | "2")
// "and" binds tighter than "or".

#include <string>
#include <vector>

namespace volumira::server {

struct AnatomicTerm {
    std::string acronym;
    int level = 0, density = 0, pattern = 0; // 0 any, 1 low/medium or not clustered, 2 high or clustered
};

// Alternatives ("or") of conjunctions ("and").
using AnatomicQuery = std::vector<std::vector<AnatomicTerm>>;

// Throws std::invalid_argument with a message that names the fault.
AnatomicQuery parseAnatomicQuery(const std::string& text);

} // namespace volumira::server

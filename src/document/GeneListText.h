#pragma once

#include <span>
#include <string>

namespace volumira {

class GeneExpression;

// The gene list as copied to the clipboard: a header line, then one tab-separated line per gene, every
// line ending in "\r\n". Null genes are skipped.
std::string geneListCopyText(std::span<const GeneExpression* const> genes);

} // namespace volumira

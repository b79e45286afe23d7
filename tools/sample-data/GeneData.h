#pragma once

#include <string>

namespace volumira::sample {

// The server's gene catalogue "Catalogue.db" and the viewer's similarity database "GLM.db", both
// computed from the same generated expression of every image series.
inline constexpr const char* kCatalogueFileName = "Catalogue.db";
inline constexpr const char* kSimilarityFileName = "GLM.db";

// At most this many most-correlated series are kept per series and search structure.
inline constexpr int kCorrelationsPerSeries = 20;

// Writes both files into the directory, replacing older ones; `small` gives the smaller catalogue of
// the quick test variant.
void writeGeneData(const std::string& directory, bool small);

} // namespace volumira::sample

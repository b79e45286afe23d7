#pragma once

// The correlations of "GLM.db", read once into memory, so that the server's similar-gene search
// answers exactly what the viewer's local search finds in the same file.

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace volumira::server {

struct Correlation {
    int experimentId = 0;
    double correlation = 0;
};

class Similarity {
  public:
    // Throws std::runtime_error when the file is missing or damaged.
    explicit Similarity(const std::string& path);

    bool hasStructure(int structureId) const { return structures_.count(structureId) != 0; }
    // The series most correlated with the experiment within the structure, highest first; empty when
    // the experiment has none.
    const std::vector<Correlation>& correlations(int structureId, int experimentId) const;

  private:
    std::map<int, std::map<int, std::vector<Correlation>>> structures_;
};

} // namespace volumira::server

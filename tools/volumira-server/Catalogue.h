#pragma once

// The server's view of "Catalogue.db": genes, their image series and section images, and the
// per-structure statistics of every series, read once into memory.

#include "sample-data/ExpressionPatterns.h"
#include "sample-data/GeneCatalogue.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace volumira::server {

// How much of a structure one series shows expressed.
struct StructureStat {
    std::int64_t voxels = 0, expressing = 0;
    double levelSum = 0;
};

struct SeriesRecord {
    int imageSeriesId = 0, experimentId = 0, geneId = 0;
    int plane = 0, probeOrientation = 1;
    sample::SeriesRealisation realisation;
    std::string processedDate, gridPath;
    std::vector<sample::CatalogueSection> sections;
    std::map<int, StructureStat> stats; // by structure id
};

struct GeneRecord {
    int geneId = 0;
    std::string symbol, name;
    sample::ExpressionPattern pattern;
    std::vector<const SeriesRecord*> series; // in catalogue order; the first is the gene's default
};

// A section image found by its path: the image of the series or its expression mask.
struct SectionRef {
    const SeriesRecord* series = nullptr;
    const sample::CatalogueSection* section = nullptr;
    bool expression = false;
};

class Catalogue {
  public:
    // Throws std::runtime_error when the file is missing or damaged.
    explicit Catalogue(const std::string& path);
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Genes ordered by symbol.
    const std::vector<GeneRecord>& genes() const { return genes_; }
    const GeneRecord* geneById(int geneId) const;
    const GeneRecord& geneOf(const SeriesRecord& series) const { return *geneById(series.geneId); }
    // Null when unknown.
    const SeriesRecord* seriesById(int imageSeriesId) const;
    const SeriesRecord* seriesByExperiment(int experimentId) const;
    const SeriesRecord* seriesByGridPath(const std::string& path) const;
    // A section with a null series when unknown.
    SectionRef sectionByPath(const std::string& path) const;
    SectionRef sectionById(int imageId) const;

  private:
    std::vector<GeneRecord> genes_;
    std::map<int, SeriesRecord> series_;
    std::map<int, std::size_t> geneIndex_;
    std::map<int, int> byExperiment_;
    std::map<std::string, int> byGridPath_;
    std::map<std::string, std::pair<int, std::size_t>> byImagePath_; // series id, section index
    std::map<int, std::pair<int, std::size_t>> byImageId_;
};

} // namespace volumira::server

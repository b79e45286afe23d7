#pragma once

// The sample genes: a few hundred genes with real-looking symbols and names, each with an expression
// pattern over the sample anatomy and several image series (coronal and sagittal) with their section
// images. Everything follows from fixed tables and seeds: the same catalogue on every run.

#include "sample-data/ExpressionPatterns.h"

#include <string>
#include <vector>

namespace volumira::sample {

// Section images are drawn at this resolution; the images of a series are 400 µm apart.
inline constexpr double kSectionMicrometresPerPixel = 1.63;
inline constexpr double kSectionSpacingMm = 0.4;

struct CatalogueSection {
    int section = 0; // 1-based
    int imageId = 0;
    double positionMm = 0; // coronal: distance from the front; sagittal: distance from the midline
    int width = 0, height = 0;
    std::string primaryPath, expressionPath;
};

struct CatalogueSeries {
    int imageSeriesId = 0, experimentId = 0;
    int plane = 0;            // 0 coronal, 1 sagittal
    int probeOrientation = 1; // 0 sense, 1 antisense
    SeriesRealisation realisation;
    std::string processedDate; // yyyy-mm-dd
    std::string gridPath;      // server path of its grid file
    std::vector<CatalogueSection> sections;
};

struct CatalogueGene {
    int geneId = 0;
    std::string symbol, name;
    std::string pattern; // text form of ExpressionPattern without the clustered flag
    bool clustered = false;
    std::vector<CatalogueSeries> series; // the first is coronal antisense
};

// The catalogue of the full sample, and the smaller one of the quick test variant: the marker genes
// first, then generated ones up to the count, genes in a fixed order.
inline constexpr int kFullCatalogueGenes = 300, kSmallCatalogueGenes = 120;
std::vector<CatalogueGene> buildGeneCatalogue(int geneCount);

// The section images of a series of this plane, and the section that shows a coarse voxel.
std::vector<CatalogueSection> seriesSections(int imageSeriesId, int plane);
struct SectionPoint {
    int section = 0;  // 1-based
    int x = 0, y = 0; // pixel in that section image
};
SectionPoint sectionPointOf(int plane, int sectionCount, int voxel);

} // namespace volumira::sample

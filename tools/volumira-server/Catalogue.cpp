#include "volumira-server/Catalogue.h"

#include "platform/FileUtils.h"
#include "volumira-server/ReadOnlyDatabase.h"

#include <algorithm>
#include <stdexcept>

namespace volumira::server {

Catalogue::Catalogue(const std::string& path) {
    if (!fileExists(path)) throw std::runtime_error("The gene catalogue " + path + " does not exist.");
    ReadOnlyDatabase db(path);
    db.query("SELECT geneId, symbol, name, pattern, clustered FROM Genes ORDER BY symbol",
             [&](const auto& row) {
                 GeneRecord g;
                 g.geneId = static_cast<int>(row.integer(0));
                 g.symbol = row.text(1);
                 g.name = row.text(2);
                 g.pattern = sample::parsePattern(row.text(3));
                 g.pattern.clustered = row.integer(4) != 0;
                 geneIndex_[g.geneId] = genes_.size();
                 genes_.push_back(std::move(g));
             });
    db.query(
        "SELECT imageSeriesId, experimentId, geneId, plane, probeOrientation, geneSeed, seriesSeed, gain,"
        " processedDate, gridPath FROM ImageSeries ORDER BY geneId, position",
        [&](const auto& row) {
            SeriesRecord r;
            r.imageSeriesId = static_cast<int>(row.integer(0));
            r.experimentId = static_cast<int>(row.integer(1));
            r.geneId = static_cast<int>(row.integer(2));
            r.plane = static_cast<int>(row.integer(3));
            r.probeOrientation = static_cast<int>(row.integer(4));
            r.realisation.geneSeed = static_cast<std::uint32_t>(row.integer(5));
            r.realisation.seriesSeed = static_cast<std::uint32_t>(row.integer(6));
            r.realisation.gain = static_cast<float>(row.real(7));
            r.realisation.sagittal = r.plane == 1;
            r.processedDate = row.text(8);
            r.gridPath = row.text(9);
            if (!geneIndex_.count(r.geneId))
                throw std::runtime_error("The gene catalogue is damaged: a series of an unknown gene.");
            byExperiment_[r.experimentId] = r.imageSeriesId;
            byGridPath_[r.gridPath] = r.imageSeriesId;
            SeriesRecord& stored = series_[r.imageSeriesId] = std::move(r);
            genes_[geneIndex_[stored.geneId]].series.push_back(&stored);
        });
    db.query("SELECT imageSeriesId, imageId, section, positionMm, width, height, primaryPath, expressionPath"
             " FROM SectionImages ORDER BY imageSeriesId, section",
             [&](const auto& row) {
                 const auto found = series_.find(static_cast<int>(row.integer(0)));
                 if (found == series_.end()) return;
                 sample::CatalogueSection c;
                 c.imageId = static_cast<int>(row.integer(1));
                 c.section = static_cast<int>(row.integer(2));
                 c.positionMm = row.real(3);
                 c.width = static_cast<int>(row.integer(4));
                 c.height = static_cast<int>(row.integer(5));
                 c.primaryPath = row.text(6);
                 c.expressionPath = row.text(7);
                 const std::size_t index = found->second.sections.size();
                 byImagePath_[c.primaryPath] = {found->first, index};
                 byImagePath_[c.expressionPath] = {found->first, index};
                 byImageId_[c.imageId] = {found->first, index};
                 found->second.sections.push_back(std::move(c));
             });
    db.query("SELECT imageSeriesId, structureId, voxels, expressing, levelSum FROM StructureStats",
             [&](const auto& row) {
                 const auto found = series_.find(static_cast<int>(row.integer(0)));
                 if (found != series_.end())
                     found->second.stats[static_cast<int>(row.integer(1))] = {row.integer(2), row.integer(3),
                                                                              row.real(4)};
             });
    if (genes_.empty()) throw std::runtime_error("The gene catalogue " + path + " holds no genes.");
    for (const GeneRecord& gene : genes_)
        if (gene.series.empty())
            throw std::runtime_error("The gene catalogue is damaged: " + gene.symbol +
                                     " has no image series.");
}

const GeneRecord* Catalogue::geneById(int geneId) const {
    const auto found = geneIndex_.find(geneId);
    return found == geneIndex_.end() ? nullptr : &genes_[found->second];
}

const SeriesRecord* Catalogue::seriesById(int imageSeriesId) const {
    const auto found = series_.find(imageSeriesId);
    return found == series_.end() ? nullptr : &found->second;
}

const SeriesRecord* Catalogue::seriesByExperiment(int experimentId) const {
    const auto found = byExperiment_.find(experimentId);
    return found == byExperiment_.end() ? nullptr : seriesById(found->second);
}

const SeriesRecord* Catalogue::seriesByGridPath(const std::string& path) const {
    const auto found = byGridPath_.find(path);
    return found == byGridPath_.end() ? nullptr : seriesById(found->second);
}

SectionRef Catalogue::sectionById(int imageId) const {
    const auto found = byImageId_.find(imageId);
    if (found == byImageId_.end()) return {};
    const SeriesRecord* series = seriesById(found->second.first);
    return {series, &series->sections[found->second.second], false};
}

SectionRef Catalogue::sectionByPath(const std::string& path) const {
    const auto found = byImagePath_.find(path);
    if (found == byImagePath_.end()) return {};
    const SeriesRecord* series = seriesById(found->second.first);
    const sample::CatalogueSection& section = series->sections[found->second.second];
    return {series, &section, section.expressionPath == path};
}

} // namespace volumira::server

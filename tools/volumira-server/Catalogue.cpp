#include "volumira-server/Catalogue.h"

#include "platform/FileUtils.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"

#include <algorithm>
#include <sqlite3.h>
#include <stdexcept>

namespace volumira::server {

namespace {

std::int64_t column64(const SqlStatement& s, int column) {
    return sqlite3_column_int64(s.handle(), column);
}

} // namespace

Catalogue::Catalogue(const std::string& path) {
    // Opening would create an empty database where none is.
    if (!fileExists(path)) throw std::runtime_error("The gene catalogue " + path + " does not exist.");
    SqlDatabase db(path);
    {
        SqlStatement s(db, "SELECT geneId, symbol, name, pattern, clustered FROM Genes ORDER BY symbol");
        s.prepareNext();
        while (s.step()) {
            GeneRecord g;
            g.geneId = s.columnInt(0);
            g.symbol = s.columnText(1);
            g.name = s.columnText(2);
            g.pattern = sample::parsePattern(s.columnText(3));
            g.pattern.clustered = s.columnInt(4) != 0;
            geneIndex_[g.geneId] = genes_.size();
            genes_.push_back(std::move(g));
        }
    }
    {
        SqlStatement s(
            db, "SELECT imageSeriesId, experimentId, geneId, plane, probeOrientation, geneSeed,"
                " seriesSeed, gain, processedDate, gridPath FROM ImageSeries ORDER BY geneId, position");
        s.prepareNext();
        while (s.step()) {
            SeriesRecord r;
            r.imageSeriesId = s.columnInt(0);
            r.experimentId = s.columnInt(1);
            r.geneId = s.columnInt(2);
            r.plane = s.columnInt(3);
            r.probeOrientation = s.columnInt(4);
            r.realisation.geneSeed = static_cast<std::uint32_t>(column64(s, 5));
            r.realisation.seriesSeed = static_cast<std::uint32_t>(column64(s, 6));
            r.realisation.gain = static_cast<float>(s.columnDouble(7));
            r.realisation.sagittal = r.plane == 1;
            r.processedDate = s.columnText(8);
            r.gridPath = s.columnText(9);
            if (!geneIndex_.count(r.geneId))
                throw std::runtime_error("The gene catalogue is damaged: a series of an unknown gene.");
            byExperiment_[r.experimentId] = r.imageSeriesId;
            byGridPath_[r.gridPath] = r.imageSeriesId;
            const int id = r.imageSeriesId;
            series_[id] = std::move(r);
            genes_[geneIndex_[series_[id].geneId]].series.push_back(&series_[id]);
        }
    }
    {
        SqlStatement s(db, "SELECT imageSeriesId, imageId, section, positionMm, width, height, primaryPath,"
                           " expressionPath FROM SectionImages ORDER BY imageSeriesId, section");
        s.prepareNext();
        while (s.step()) {
            const auto found = series_.find(s.columnInt(0));
            if (found == series_.end()) continue;
            sample::CatalogueSection c;
            c.imageId = s.columnInt(1);
            c.section = s.columnInt(2);
            c.positionMm = s.columnDouble(3);
            c.width = s.columnInt(4);
            c.height = s.columnInt(5);
            c.primaryPath = s.columnText(6);
            c.expressionPath = s.columnText(7);
            const std::size_t index = found->second.sections.size();
            byImagePath_[c.primaryPath] = {found->first, index};
            byImagePath_[c.expressionPath] = {found->first, index};
            found->second.sections.push_back(std::move(c));
        }
    }
    {
        SqlStatement s(db,
                       "SELECT imageSeriesId, structureId, voxels, expressing, levelSum FROM StructureStats");
        s.prepareNext();
        while (s.step()) {
            const auto found = series_.find(s.columnInt(0));
            if (found == series_.end()) continue;
            found->second.stats[s.columnInt(1)] = {column64(s, 2), column64(s, 3), s.columnDouble(4)};
        }
    }
    if (genes_.empty()) throw std::runtime_error("The gene catalogue " + path + " holds no genes.");
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

SectionRef Catalogue::sectionByPath(const std::string& path) const {
    const auto found = byImagePath_.find(path);
    if (found == byImagePath_.end()) return {};
    const SeriesRecord* series = seriesById(found->second.first);
    const sample::CatalogueSection& section = series->sections[found->second.second];
    return {series, &section, section.expressionPath == path};
}

} // namespace volumira::server

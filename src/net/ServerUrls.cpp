#include "net/ServerUrls.h"

#include "preferences/UserPreferences.h"

#include <charconv>
#include <stdexcept>

namespace volumira {

namespace {

std::string levelSuffix(int level) {
    return "&level=" + std::to_string(level);
}

// The shortest text that reads back as the same float.
std::string floatText(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string ServerUrls::gridByImageSeries(std::int32_t imageSeriesId, int level) const {
    return preferences_.gridFileUrl() + "?imageseriesid=" + std::to_string(imageSeriesId) +
           levelSuffix(level);
}

std::string ServerUrls::gridByExperiment(std::int32_t experimentId, int level) const {
    const std::string& prefix = preferences_.experimentGridLookupUrl();
    if (prefix.empty()) throw std::runtime_error("Server not available for gene lookup by experiment ID.");
    return prefix + "?experimentid=" + std::to_string(experimentId) + levelSuffix(level);
}

std::string ServerUrls::gridByGene(std::int32_t geneId, int level) const {
    return preferences_.gridFileUrl() + "?geneid=" + std::to_string(geneId) + "&project=" + kProjectCode +
           levelSuffix(level);
}

std::string ServerUrls::gridByPath(const std::string& path, int level) const {
    if (path.empty()) throw std::runtime_error("Not enough information to retrieve the gene thumbnail.");
    return preferences_.gridFileUrl() + "/" + path + levelSuffix(level);
}

std::string ServerUrls::grid(const GridFileKey& key, int level) const {
    if (key.imageSeriesId != 0) return gridByImageSeries(key.imageSeriesId, level);
    if (key.experimentId != 0) return gridByExperiment(key.experimentId, level);
    if (key.geneId != 0) return gridByGene(key.geneId, level);
    return gridByPath(key.path, level);
}

std::string ServerUrls::imageProperties(const std::string& imagePath) const {
    return preferences_.pyramidUrl() + imagePath + "/ImageProperties.xml";
}

std::string ServerUrls::imageTile(const std::string& imagePath, int group, int level, int x, int y) const {
    return preferences_.pyramidUrl() + imagePath + "/TileGroup" + std::to_string(group) + "/" +
           std::to_string(level) + "-" + std::to_string(x) + "-" + std::to_string(y) + ".jpg";
}

const std::string& ServerUrls::searchService() const {
    return preferences_.searchServiceUrl();
}
const std::string& ServerUrls::versions() const {
    return preferences_.versionsUrl();
}
const std::string& ServerUrls::searchDomains() const {
    return preferences_.searchDomainsUrl();
}

std::string ServerUrls::imagePage(std::int32_t imageId, float x, float y, int zoom) const {
    return preferences_.imagePageUrl() + std::to_string(imageId) + "&x=" + floatText(x) +
           "&y=" + floatText(y) + "&z=" + std::to_string(zoom);
}

std::string ServerUrls::seriesPage(std::int32_t imageSeriesId) const {
    return preferences_.seriesInfoUrl() + std::to_string(imageSeriesId);
}

float ServerUrls::pagePosition(double p, double w) {
    // An image without an extent has no place to point at: its centre.
    if (!(w > 0)) return 0.0f;
    return static_cast<float>(-(p - w / 2) / w);
}

} // namespace volumira

#pragma once

#include <cstdint>
#include <string>

namespace volumira {

class UserPreferences;

// The project code sent with gene lookups and searches.
inline constexpr const char* kProjectCode = "0310";

// What a gene's grid file can be looked up by; 0 or empty where unknown.
struct GridFileKey {
    std::int32_t imageSeriesId = 0;
    std::int32_t experimentId = 0;
    std::int32_t geneId = 0;
    std::string path;
};

// The addresses of every request to the data server, built from the server addresses of the preferences.
// Numbers are written in decimal.
class ServerUrls {
  public:
    // The zoom of the image page opened from a section image and from the 3D view.
    static constexpr int kSectionImageZoom = 80;
    static constexpr int kSceneZoom = 50;

    // The preferences must outlive this object.
    explicit ServerUrls(const UserPreferences& preferences) : preferences_(preferences) {}

    std::string gridByImageSeries(std::int32_t imageSeriesId, int level) const;
    // Throws std::runtime_error when no experiment lookup server is configured.
    std::string gridByExperiment(std::int32_t experimentId, int level) const;
    std::string gridByGene(std::int32_t geneId, int level) const;
    std::string gridByPath(const std::string& path, int level) const;
    // By the first of image series, experiment, gene and path that is known; throws std::runtime_error when
    // none is.
    std::string grid(const GridFileKey& key, int level) const;

    std::string imageProperties(const std::string& imagePath) const;
    // A tile "level-x-y" of a Zoomify pyramid, in its tile group.
    std::string imageTile(const std::string& imagePath, int group, int level, int x, int y) const;

    const std::string& searchService() const;
    const std::string& versions() const;
    const std::string& searchDomains() const;

    // The pages opened in the web browser. x and y are pagePosition()s of the point shown.
    std::string imagePage(std::int32_t imageId, float x, float y, int zoom) const;
    std::string seriesPage(std::int32_t imageSeriesId) const;
    // Where a point p lies on an image of extent w, as the image page expects it: -(p - w/2) / w; 0 when w is
    // not positive.
    static float pagePosition(double p, double w);

  private:
    const UserPreferences& preferences_;
};

} // namespace volumira

#include "net/ServerUrls.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "support/ErrorText.h"

#include <gtest/gtest.h>

namespace volumira::test {
namespace {

class ServerUrlsTest : public ::testing::Test {
  protected:
    std::unique_ptr<UserPreferences> load(const char* host, const char* lookup) {
        if (host) store.writeText(kSettingsSection, "HostName", host);
        if (lookup) store.writeText(kSettingsSection, "ExperimentGridLookupHost", lookup);
        return std::make_unique<UserPreferences>(
            store, PreferencesEnvironment{[] { return std::time_t(0); }, {}, {}});
    }
    MemorySettingsStore store;
};

TEST_F(ServerUrlsTest, EveryRequestStartsFromTheConfiguredServer) {
    const auto preferences = load("http://genes.example:8080", "http://lookup.example/GridFile");
    const ServerUrls urls(*preferences);
    const std::string host = "http://genes.example:8080";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {urls.gridByImageSeries(71717640, 2), host + "/GridFile?imageseriesid=71717640&level=2"},
        {urls.gridByExperiment(1234, 0), "http://lookup.example/GridFile?experimentid=1234&level=0"},
        {urls.gridByGene(-5, 1), host + "/GridFile?geneid=-5&project=0310&level=1"},
        {urls.gridByPath("grids/12/grid.xpr?x=1", 3), host + "/GridFile/grids/12/grid.xpr?x=1&level=3"},
        {urls.imageProperties("zoomify/0310/1234"), host + "/pyramid/zoomify/0310/1234/ImageProperties.xml"},
        {urls.imageTile("zoomify/0310/1234", 2, 5, 10, 3),
         host + "/pyramid/zoomify/0310/1234/TileGroup2/5-10-3.jpg"},
        {urls.searchService(), host + "/services/GeneSearchService"},
        {urls.versions(), host + "/Volumira/versions.xml"},
        {urls.searchDomains(), host + "/Volumira/SearchDomains.xml"},
        {urls.imagePage(987, 0.25f, -0.125f, ServerUrls::kSectionImageZoom),
         host + "/viewImage.do?imageId=987&x=0.25&y=-0.125&z=80"},
        {urls.imagePage(987, 0.0f, 0.5f, ServerUrls::kSceneZoom),
         host + "/viewImage.do?imageId=987&x=0&y=0.5&z=50"},
        {urls.seriesPage(71717640), host + "/viewSeriesInfo.do?imageSeriesId=71717640"},
    };
    for (const auto& [built, expected] : cases)
        EXPECT_EQ(built, expected);
}

TEST_F(ServerUrlsTest, GridLookupTakesTheFirstKnownKeyAndNamesWhatIsMissing) {
    const auto withLookup = load(nullptr, "http://lookup.example/g");
    const ServerUrls urls(*withLookup);
    const std::string grid = withLookup->gridFileUrl();
    EXPECT_EQ(urls.grid({7, 8, 9, "p"}, 1), grid + "?imageseriesid=7&level=1");
    EXPECT_EQ(urls.grid({0, 8, 9, "p"}, 1), "http://lookup.example/g?experimentid=8&level=1");
    EXPECT_EQ(urls.grid({0, 0, 9, "p"}, 1), grid + "?geneid=9&project=0310&level=1");
    EXPECT_EQ(urls.grid({0, 0, 0, "p"}, 1), grid + "/p&level=1");
    EXPECT_EQ(errorOf([&] { urls.grid({}, 1); }), "Not enough information to retrieve the gene thumbnail.");

    MemorySettingsStore plain;
    UserPreferences defaults(plain, PreferencesEnvironment{[] { return std::time_t(0); }, {}, {}});
    const ServerUrls withoutLookup(defaults);
    EXPECT_EQ(errorOf([&] {
                  withoutLookup.grid({0, 8, 9, "p"}, 1);
              }),
              "Server not available for gene lookup by experiment ID.");
    EXPECT_EQ(withoutLookup.grid({0, 0, 9, ""}, 0),
              std::string(kDefaultServerUrl) + "/GridFile?geneid=9&project=0310&level=0");
}

TEST(ServerUrlsPagePosition, IsTheOffsetFromTheCentreInImageWidths) {
    EXPECT_FLOAT_EQ(ServerUrls::pagePosition(500, 1000), 0.0f);
    EXPECT_FLOAT_EQ(ServerUrls::pagePosition(0, 1000), 0.5f);
    EXPECT_FLOAT_EQ(ServerUrls::pagePosition(750, 1000), -0.25f);
    EXPECT_FLOAT_EQ(ServerUrls::pagePosition(10, 0), 0.0f);
    EXPECT_FLOAT_EQ(ServerUrls::pagePosition(10, -4), 0.0f);
}

} // namespace
} // namespace volumira::test

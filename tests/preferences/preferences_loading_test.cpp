#include "PreferencesTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace volumira {
namespace {

using test::PreferencesFixture;

TEST(PreferencesLoading, NothingStoredGivesTheDefaults) {
    PreferencesFixture f;
    const auto p = f.load();
    EXPECT_TRUE(p->autoRotateView());
    EXPECT_FALSE(p->fasterLowerQualityExpressorDrawing());
    EXPECT_TRUE(p->verticalSync());
    EXPECT_FALSE(p->askedOptimizeVideoSettings());
    EXPECT_TRUE(p->automaticVersionCheck());
    EXPECT_FLOAT_EQ(p->bookmarkAnimationSeconds(), 2.0f);
    EXPECT_EQ(p->multisample(), 0);
    EXPECT_EQ(p->maxMultisample(), 0);
    EXPECT_EQ(p->serverUrl(), kDefaultServerUrl);
    EXPECT_EQ(p->experimentGridLookupUrl(), "");
    EXPECT_EQ(p->webSiteUrl(), std::string(kDefaultServerUrl) + "/");
    EXPECT_EQ(p->loadViewSettings().sideTab, kHierarchicalTab);
    EXPECT_FALSE(p->loadWindowPlacement({0, 0, 1280, 1024, 32, 32}).has_value());
    // Loading alone writes nothing.
    EXPECT_TRUE(f.store.writeLog().empty());
}

TEST(PreferencesLoading, StoredHostReplacesTheServerInEveryAddress) {
    for (const char* host :
         {"http://data.example.org", "http://data.example.org/", "http://data.example.org//"}) {
        SCOPED_TRACE(host);
        PreferencesFixture f;
        f.set("HostName", host);
        f.set("ExperimentGridLookupHost", "http://grid.example.org/lookup?id=");
        const auto p = f.load();
        const std::string base = "http://data.example.org";
        EXPECT_EQ(p->serverUrl(), base);
        EXPECT_EQ(p->versionsUrl(), base + "/Volumira/versions.xml");
        EXPECT_EQ(p->searchDomainsUrl(), base + "/Volumira/SearchDomains.xml");
        EXPECT_EQ(p->searchServiceUrl(), base + "/services/GeneSearchService");
        EXPECT_EQ(p->gridFileUrl(), base + "/GridFile");
        EXPECT_EQ(p->pyramidUrl(), base + "/pyramid/");
        EXPECT_EQ(p->seriesInfoUrl(), base + "/viewSeriesInfo.do?imageSeriesId=");
        EXPECT_EQ(p->imagePageUrl(), base + "/viewImage.do?imageId=");
        EXPECT_EQ(p->experimentGridLookupUrl(), "http://grid.example.org/lookup?id=");
        EXPECT_EQ(p->webSiteUrl(), base + "/") << "the server's front page";
    }
}

TEST(PreferencesLoading, AStoredWebSiteIsOpenedInsteadOfTheServersFrontPage) {
    const struct {
        const char* site;
        std::string expected;
    } cases[] = {{"https://atlas.example.org/start", "https://atlas.example.org/start"},
                 {"", "http://data.example.org/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.site);
        PreferencesFixture f;
        f.set("HostName", "http://data.example.org");
        f.set("BrainAtlasWebSite", c.site);
        const auto p = f.load();
        EXPECT_EQ(p->webSiteUrl(), c.expected);
        EXPECT_EQ(p->gridFileUrl(), "http://data.example.org/GridFile") << "the data stays where it was";
    }
}

TEST(PreferencesLoading, EmptyHostKeepsTheBuiltInServer) {
    PreferencesFixture f;
    f.set("HostName", "");
    const auto p = f.load();
    EXPECT_EQ(p->serverUrl(), kDefaultServerUrl);
    EXPECT_EQ(p->gridFileUrl(), std::string(kDefaultServerUrl) + "/GridFile");
}

TEST(PreferencesLoading, AnyNonZeroFlagIsTrue) {
    PreferencesFixture f;
    f.set("AutoRotateView", 0);
    f.set("FasterLowerQualityExpressorDrawing", 7);
    f.set("VerticalSync", 0);
    f.set("AskedOptimizeVideoSettings", -1);
    f.set("AutomaticVersionCheck", 0);
    const auto p = f.load();
    EXPECT_FALSE(p->autoRotateView());
    EXPECT_TRUE(p->fasterLowerQualityExpressorDrawing());
    EXPECT_FALSE(p->verticalSync());
    EXPECT_TRUE(p->askedOptimizeVideoSettings());
    EXPECT_FALSE(p->automaticVersionCheck());
}

TEST(PreferencesLoading, BookmarkSpeedIsMillisecondsClampedToTenSeconds) {
    const struct {
        std::int32_t stored;
        float seconds;
    } cases[] = {{500, 0.5f},
                 {25000, 10.0f},
                 {0, 0.0f},
                 {10000, 10.0f},
                 {2000, 2.0f},
                 // An unsigned number: a negative stored value is a huge one.
                 {-1, 10.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        PreferencesFixture f;
        f.set("BookmarkAnimationSpeed", c.stored);
        EXPECT_FLOAT_EQ(f.load()->bookmarkAnimationSeconds(), c.seconds);
    }
}

TEST(PreferencesLoading, NegativeMultisampleIsReplacedByZeroAndWrittenBack) {
    PreferencesFixture f;
    f.set("Multisample", -3);
    f.store.clearWriteLog();
    const auto p = f.load();
    EXPECT_EQ(p->multisample(), 0);
    EXPECT_EQ(f.stored("Multisample"), 0);
    EXPECT_EQ(f.store.writeLog(), std::vector<std::string>{"Multisample"});

    PreferencesFixture g;
    g.set("Multisample", 4);
    g.store.clearWriteLog();
    EXPECT_EQ(g.load()->multisample(), 4);
    EXPECT_TRUE(g.store.writeLog().empty());
}

TEST(PreferencesLoading, VersionBuildAndUserAgentComeFromTheEnvironment) {
    const struct {
        ProgramVersion version;
        std::optional<KernelVersion> kernel;
        const char* text;
        int build;
        const char* userAgent;
    } cases[] = {
        {{1, 4, 3, 34}, KernelVersion{6, 1}, "1.4.3", 34, "Volumira/1.4.3 (Linux 6.1) VL/34"},
        {{2, 0, 0, 7}, KernelVersion{5, 15}, "2.0", 7, "Volumira/2.0 (Linux 5.15) VL/7"},
        {{2, 0, 0, 7}, std::nullopt, "2.0", 7, "Volumira"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.userAgent);
        PreferencesFixture f;
        const auto p = f.load(c.version, c.kernel);
        EXPECT_EQ(p->version(), c.text);
        EXPECT_EQ(p->build(), c.build);
        EXPECT_EQ(p->userAgent(), c.userAgent);
    }
}

TEST(PreferencesVersion, BuiltVersionIsTheProjectVersion) {
    const ProgramVersion v = builtProgramVersion();
    EXPECT_EQ(std::to_string(v.majorNumber) + "." + std::to_string(v.minorNumber) + "." +
                  std::to_string(v.patchNumber) + "." + std::to_string(v.buildNumber),
              VOLUMIRA_PROJECT_VERSION);
}

TEST(PreferencesVersion, KernelReleaseGivesMajorAndMinor) {
    const struct {
        const char* release;
        std::optional<std::pair<int, int>> expected;
    } cases[] = {
        {"6.1.0-18-amd64", std::pair{6, 1}},
        {"5.15", std::pair{5, 15}},
        {"4.19.0+", std::pair{4, 19}},
        {"6", std::nullopt},
        {"6.", std::nullopt},
        {"", std::nullopt},
        {"x.1", std::nullopt},
        {"-6.1", std::nullopt},
        {"99999999999.1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.release);
        const auto kernel = parseKernelRelease(c.release);
        ASSERT_EQ(kernel.has_value(), c.expected.has_value());
        if (kernel) {
            EXPECT_EQ(kernel->majorNumber, c.expected->first);
            EXPECT_EQ(kernel->minorNumber, c.expected->second);
        }
    }
    // This is Linux, whose release always starts with major.minor.
    EXPECT_TRUE(runningKernelVersion().has_value());
}

} // namespace
} // namespace volumira

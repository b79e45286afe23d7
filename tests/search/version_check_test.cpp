#include "NetTestSupport.h"
#include "SearchTestSupport.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/ProgramVersion.h"
#include "preferences/UserPreferences.h"
#include "search/SearchDomainUpdater.h"
#include "search/VersionCheck.h"
#include "search/VersionQuery.h"
#include "support/ErrorText.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace volumira {
namespace {

using test::errorOf;

const char* const kUpgraded =
    "The Tessaly Brain Atlas website has been upgraded significantly and portions of "
    "the site can no longer be accessed by this version of Volumira. Please upgrade "
    "this copy of Volumira.";

// Serves each body of the map at its path; other paths answer 404.
test::CannedServer serve(const std::map<std::string, std::string>& files) {
    return test::CannedServer([files](httplib::Server& s) {
        s.Get(".*", [files](const httplib::Request& req, httplib::Response& res) {
            const auto found = files.find(req.path);
            if (found == files.end()) {
                res.status = 404;
                res.set_content("missing", "text/plain");
                return;
            }
            res.set_content(found->second, "text/xml");
        });
    });
}

// What the query said in its final report. Like the application, the owner lets go of the query inside that
// report.
struct VersionOutcome : VersionQueryListener {
    std::unique_ptr<VersionQuery> query;
    bool done = false;
    std::optional<std::string> failure;
    bool newVersion = false, domains = false;
    std::string message, infoUrl;

    void versionChecked(VersionQuery* q) override {
        done = true;
        newVersion = q->newVersionAvailable();
        domains = q->domainsOutdated();
        message = q->message();
        infoUrl = q->infoUrl();
        query.reset();
    }
    void versionCheckFailed(VersionQuery*, const std::string& text) override {
        done = true;
        failure = text;
        query.reset();
    }
};

struct VersionCase {
    const char* name;
    const char* file; // served as versions.xml; nullptr for none (404)
    const char* failure;
    bool newVersion, domains;
    const char* message;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.name;
}

class VersionFiles : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionFiles, AreReadAsTheTableSays) {
    const VersionCase& c = GetParam();
    std::map<std::string, std::string> files;
    if (c.file) files["/Volumira/versions.xml"] = c.file;
    test::CannedServer server = serve(files);
    test::UiThread ui;
    VersionOutcome outcome;
    // The search domains in use have version 3 and the program is build 7.
    outcome.query = std::make_unique<VersionQuery>(&outcome, server.url("/Volumira/versions.xml"), 3, 7);
    ASSERT_TRUE(ui.runUntil([&] { return outcome.done; }));
    EXPECT_EQ(outcome.query, nullptr);
    if (c.failure) {
        EXPECT_EQ(outcome.failure, std::optional<std::string>(c.failure));
        return;
    }
    ASSERT_FALSE(outcome.failure) << *outcome.failure;
    EXPECT_EQ(outcome.newVersion, c.newVersion);
    EXPECT_EQ(outcome.domains, c.domains);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(outcome.infoUrl, "http://info/");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionFiles,
    testing::Values(VersionCase{"Current",
                                "<versions><windows build=\"7\"/><searchAPI oldest=\"1\" domains=\"3\"/>"
                                "<infoUrl>http://info/</infoUrl></versions>",
                                nullptr, false, false, ""},
                    VersionCase{"NewerBuild",
                                "<versions><windows build=\"8\"/><infoUrl>http://info/</infoUrl></versions>",
                                nullptr, true, false, "A new version of Volumira is available."},
                    VersionCase{"NewerDomains",
                                "<versions><windows build=\"7\"/><searchAPI oldest=\"1\" domains=\"4\"/>"
                                "<infoUrl>http://info/</infoUrl></versions>",
                                nullptr, false, true, ""},
                    VersionCase{"UpgradedSiteOffersNoDomainUpdate",
                                "<versions><windows build=\"9\"/><searchAPI oldest=\"2\" domains=\"9\"/>"
                                "<infoUrl>http://info/</infoUrl></versions>",
                                nullptr, true, false, kUpgraded},
                    VersionCase{
                        "WhatCameBeforeAFaultCounts",
                        "<versions><windows build=\"8\"/><infoUrl>http://info/</infoUrl><searchAPI oldest=",
                        nullptr, true, false, "A new version of Volumira is available."},
                    VersionCase{"OlderBuild",
                                "<versions><windows build=\"6\"/><infoUrl>http://info/</infoUrl></versions>",
                                nullptr, false, false, ""},
                    VersionCase{"NoWindowsElement",
                                "<versions><linux build=\"99\"/><infoUrl>http://info/</infoUrl></versions>",
                                "Version data not found on the server.", false, false, ""},
                    VersionCase{"NotOnTheServer", nullptr,
                                "Could not complete request. Server returned error 404", false, false, ""}),
    [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST(VersionQuery, NeedsAnAddress) {
    VersionOutcome outcome;
    EXPECT_EQ(errorOf([&] { VersionQuery(&outcome, "", 1, 7); }),
              "Version check failed: invalid server address.");
}

TEST(VersionQuery, AbortEndsItWithoutAReport) {
    test::CannedServer server = serve({{"/v", "<versions><windows build=\"35\"/></versions>"}});
    test::UiThread ui;
    VersionOutcome outcome;
    outcome.query = std::make_unique<VersionQuery>(&outcome, server.url("/v"), 1, 7);
    outcome.query->abort();
    // Aborting again, and then destroying it, is harmless.
    outcome.query->abort();
    // A query destroyed while it runs ends silently too.
    VersionOutcome dropped;
    dropped.query = std::make_unique<VersionQuery>(&dropped, server.url("/v"), 1, 7);
    dropped.query.reset();
    // A second check over the same queue finishes; the aborted and dropped ones never reported.
    VersionOutcome second;
    second.query = std::make_unique<VersionQuery>(&second, server.url("/v"), 1, 7);
    ASSERT_TRUE(ui.runUntil([&] { return second.done; }));
    EXPECT_FALSE(outcome.done);
    EXPECT_FALSE(dropped.done);
    outcome.query->abort();
}

TEST(VersionQuery, AVersionsFileBeyondTheLimitFailsTheCheck) {
    const std::string big = "<versions><windows build=\"35\"/><infoUrl>" + std::string(5000, 'x') +
                            "</infoUrl></versions>";
    test::CannedServer server = serve({{"/v", big}});
    test::UiThread ui;
    VersionOutcome outcome;
    outcome.query = std::make_unique<VersionQuery>(&outcome, server.url("/v"), 1, 7, 1000);
    ASSERT_TRUE(ui.runUntil([&] { return outcome.done; }));
    EXPECT_EQ(outcome.failure, std::optional<std::string>("Download refused: the server announced " +
                                                          std::to_string(big.size()) +
                                                          " bytes, more than the limit of 1000 bytes."));
    // At the limit it passes.
    VersionOutcome fits;
    fits.query = std::make_unique<VersionQuery>(&fits, server.url("/v"), 1, 7, big.size());
    ASSERT_TRUE(ui.runUntil([&] { return fits.done; }));
    EXPECT_FALSE(fits.failure);
    EXPECT_TRUE(fits.newVersion);
}

const char* const kNewDomains = R"(<SearchDomains version="7">
  <AnatomicSearch><Domain id="688" indent="0"/></AnatomicSearch>
  <Corrana coronal="true" sagittal="false"><Domain id="549" indent="0"/></Corrana>
</SearchDomains>)";
const char* const kNoAnatomicDomains = R"(<SearchDomains version="8">
  <AnatomicSearch></AnatomicSearch>
  <Corrana coronal="true" sagittal="true"><Domain id="549" indent="0"/></Corrana>
</SearchDomains>)";

// The owner lets go of the updater inside its final report.
struct UpdateOutcome : SearchDomainUpdateListener {
    std::unique_ptr<SearchDomainUpdater> updater;
    bool done = false;
    std::optional<std::string> failure;
    void searchDomainsUpdated(SearchDomainUpdater*) override {
        done = true;
        updater.reset();
    }
    void searchDomainUpdateFailed(SearchDomainUpdater*, const std::string& text) override {
        done = true;
        failure = text;
        updater.reset();
    }
};

class SearchDomainUpdate : public testing::Test {
  protected:
    SearchDomainUpdate()
        : server_(serve({{"/new", kNewDomains}, {"/noanatomic", kNoAnatomicDomains}})),
          userDir_(fixture_.dir.path() + "/user/") {
        std::filesystem::create_directories(userDir_);
        auto previous = std::make_unique<SearchConfig>(fixture_.ontology(), "");
        previous->setVersion(1);
        previous_ = previous.get();
        SearchConfig::replaceInstance(std::move(previous));
        test::writeBytes(userDir_ + "SearchDomains.xml", "previous");
    }
    ~SearchDomainUpdate() override { SearchConfig::releaseInstance(); }

    SearchDomainUpdatePlaces places(const std::string& path) {
        return {server_.url(path), userDir_, fixture_.dir.path() + "/", &fixture_.ontology()};
    }
    // Runs one update to its report.
    UpdateOutcome update(const std::string& path) {
        UpdateOutcome outcome;
        outcome.updater = std::make_unique<SearchDomainUpdater>(&outcome, places(path));
        EXPECT_TRUE(ui_.runUntil([&] { return outcome.done; }));
        EXPECT_EQ(outcome.updater, nullptr);
        return outcome;
    }

    test::SearchFixture fixture_;
    test::CannedServer server_;
    test::UiThread ui_;
    std::string userDir_;
    SearchConfig* previous_ = nullptr;
};

TEST_F(SearchDomainUpdate, InstallsAUsableListAndMakesItCurrent) {
    const UpdateOutcome outcome = update("/new");
    ASSERT_FALSE(outcome.failure) << *outcome.failure;
    EXPECT_EQ(test::readBytes(userDir_ + "SearchDomains.xml"), kNewDomains);
    EXPECT_FALSE(std::filesystem::exists(userDir_ + "SearchDomains.new"));
    SearchConfig& current = SearchConfig::instance();
    EXPECT_NE(&current, previous_);
    EXPECT_EQ(current.version(), 7);
    EXPECT_EQ(current.anatomicDomain(0), fixture_.byAcronym("CTX"));
    EXPECT_TRUE(current.coronal());
    EXPECT_FALSE(current.sagittal());
}

TEST_F(SearchDomainUpdate, AListWithoutAnatomicDomainsIsNotInstalled) {
    const UpdateOutcome outcome = update("/noanatomic");
    EXPECT_EQ(outcome.failure, std::optional<std::string>("Could not read new search domain list file."));
    EXPECT_EQ(&SearchConfig::instance(), previous_);
    EXPECT_EQ(test::readBytes(userDir_ + "SearchDomains.xml"), "previous");
    // The download stays for a look at it.
    EXPECT_EQ(test::readBytes(userDir_ + "SearchDomains.new"), kNoAnatomicDomains);
}

TEST_F(SearchDomainUpdate, AFailedDownloadDeletesTheFile) {
    const UpdateOutcome outcome = update("/absent");
    EXPECT_EQ(outcome.failure,
              std::optional<std::string>("Could not complete request. Server returned error 404"));
    EXPECT_FALSE(std::filesystem::exists(userDir_ + "SearchDomains.new"));
    EXPECT_EQ(&SearchConfig::instance(), previous_);
}

TEST_F(SearchDomainUpdate, ADownloadFileThatCannotBeCreatedIsReportedAtOnce) {
    SearchDomainUpdatePlaces nowhere = places("/new");
    nowhere.userDirectory = fixture_.dir.path() + "/no/such/dir/";
    UpdateOutcome outcome;
    EXPECT_EQ(errorOf([&] { SearchDomainUpdater(&outcome, nowhere); }),
              "Search domain file could not be opened for writing.");
}

// A versions file naming the given build, newer domains when asked, and the information page.
std::string versionsFile(int build, int domains, const std::string& infoUrl) {
    return "<versions><windows build=\"" + std::to_string(build) + "\"/><searchAPI oldest=\"1\" domains=\"" +
           std::to_string(domains) + "\"/><infoUrl>" + infoUrl + "</infoUrl></versions>";
}

// The start-up check over preferences in memory that carry this program's own version; the search domains in
// use have version 1.
class StartUpVersionCheck : public testing::Test {
  protected:
    StartUpVersionCheck()
        : server_(serve({{"/current", versionsFile(kBuild, 1, "http://info/")},
                         {"/newer", versionsFile(kBuild + 1, 7, "http://info/")},
                         {"/domains", kNewDomains}})),
          preferences_(store_, PreferencesEnvironment{[] { return std::time_t(1700000000); },
                                                      builtProgramVersion(), {}}),
          check_(preferences_, {[this](const std::string& message) {
                                    asked_.push_back(message);
                                    return answer_;
                                },
                                [this](const std::string& url) { opened_.push_back(url); }}) {
        std::filesystem::create_directories(fixture_.dir.path() + "/user");
        SearchConfig::replaceInstance(std::make_unique<SearchConfig>(fixture_.ontology(), ""));
    }
    ~StartUpVersionCheck() override { SearchConfig::releaseInstance(); }

    VersionCheckSettings settings(const std::string& versions) {
        return {server_.url(versions),
                1,
                {server_.url("/domains"), fixture_.dir.path() + "/user/", fixture_.dir.path() + "/",
                 &fixture_.ontology()}};
    }
    void runToEnd() {
        ASSERT_TRUE(ui_.runUntil([&] { return !check_.running(); }));
    }

    // The build this program was made as: the fourth field of the project version.
    static inline const int kBuild = builtProgramVersion().buildNumber;

    test::SearchFixture fixture_;
    test::CannedServer server_;
    test::UiThread ui_;
    MemorySettingsStore store_;
    UserPreferences preferences_;
    bool answer_ = true;
    std::vector<std::string> asked_, opened_;
    VersionCheck check_;
};

TEST_F(StartUpVersionCheck, TheBuildComparedIsTheOneTheProgramReports) {
    // The About box shows the preferences' build and the User-Agent carries it.
    EXPECT_EQ(preferences_.build(), kBuild);
    EXPECT_EQ(userAgentText(builtProgramVersion(), KernelVersion{6, 1}).substr(0, 9), "Volumira/");
    EXPECT_TRUE(userAgentText(builtProgramVersion(), KernelVersion{6, 1}).ends_with(" VL/" + std::to_string(kBuild)));
    ASSERT_TRUE(check_.startIfDue(settings("/newer")));
    runToEnd();
    EXPECT_EQ(asked_.size(), 1u);
}

TEST_F(StartUpVersionCheck, ADeclinedOfferOpensNothingAndStillRecordsTheCheck) {
    answer_ = false;
    ASSERT_TRUE(check_.startIfDue(settings("/newer")));
    runToEnd();
    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_TRUE(opened_.empty());
    EXPECT_FALSE(preferences_.isVersionCheckDue());
}

// Only web pages reach the desktop: a server could otherwise name a local file or program to open.
TEST(InformationPage, OnlyHttpAndHttpsAddressesAreOpened) {
    const struct {
        const char* url;
        bool opened;
    } cases[] = {
        {"http://info/", true},
        {"https://example.org/volumira?x=1", true},
        {"HTTPS://EXAMPLE.ORG/", true},
        {"http://", false},
        {"file:///etc/passwd", false},
        {"/usr/bin/xterm", false},
        {"javascript:alert(1)", false},
        {"ftp://example.org/", false},
        {"", false},
        {" http://info/", false},
        {"http://info/ --new-window", false},
        {"httpx://info/", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isWebAddress(c.url), c.opened) << c.url;

    std::map<std::string, std::string> files;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        files["/v" + std::to_string(i)] = versionsFile(builtProgramVersion().buildNumber + 1, 0, cases[i].url);
    test::CannedServer server = serve(files);
    test::UiThread ui;
    MemorySettingsStore store;
    UserPreferences preferences(store, PreferencesEnvironment{[] { return std::time_t(1700000000); },
                                                              builtProgramVersion(), {}});
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<std::string> opened;
        VersionCheck check(preferences, {[](const std::string&) { return true; },
                                         [&](const std::string& url) { opened.push_back(url); }});
        store.writeText("Settings", "LastVersionCheck", "");
        ASSERT_TRUE(check.startIfDue({server.url("/v" + std::to_string(i)), 1, {}}));
        ASSERT_TRUE(ui.runUntil([&] { return !check.running(); }));
        EXPECT_EQ(opened, cases[i].opened ? std::vector<std::string>{cases[i].url} : std::vector<std::string>{})
            << cases[i].url;
    }
}

TEST_F(StartUpVersionCheck, ACurrentProgramRecordsTheCheckAndIsNotDueAgain) {
    ASSERT_TRUE(check_.startIfDue(settings("/current")));
    EXPECT_FALSE(check_.startIfDue(settings("/current")));
    runToEnd();
    EXPECT_TRUE(asked_.empty());
    EXPECT_FALSE(preferences_.isVersionCheckDue());
    EXPECT_FALSE(check_.startIfDue(settings("/current")));
}

TEST_F(StartUpVersionCheck, ANewerProgramAndNewerDomainsAreOfferedAndInstalled) {
    ASSERT_TRUE(check_.startIfDue(settings("/newer")));
    runToEnd();
    EXPECT_EQ(asked_, std::vector<std::string>{"A new version of Volumira is available. Click OK for more "
                                               "information."});
    EXPECT_EQ(opened_, std::vector<std::string>{"http://info/"});
    EXPECT_EQ(SearchConfig::instance().version(), 7);
    EXPECT_EQ(test::readBytes(fixture_.dir.path() + "/user/SearchDomains.xml"), kNewDomains);
    EXPECT_FALSE(preferences_.isVersionCheckDue());
}

TEST_F(StartUpVersionCheck, AFailedCheckStaysDue) {
    ASSERT_TRUE(check_.startIfDue(settings("/absent")));
    runToEnd();
    EXPECT_TRUE(preferences_.isVersionCheckDue());
    // A request that cannot be made is a failed check too.
    VersionCheckSettings noAddress = settings("/current");
    noAddress.versionsUrl.clear();
    EXPECT_FALSE(check_.startIfDue(noAddress));
    EXPECT_FALSE(check_.running());
    EXPECT_TRUE(preferences_.isVersionCheckDue());
}

} // namespace
} // namespace volumira


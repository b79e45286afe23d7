#include "SearchTestSupport.h"
#include "support/ErrorText.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

namespace volumira {
namespace {

using test::errorOf;
using test::SearchFixture;

const char* const kMissingFile =
    "Volumira is missing a critical configuration file. Please try reinstalling the application.";

TEST(SearchConfig, ListsAndSwitches) {
    SearchFixture f;
    SearchConfig config(f.ontology(), "");
    EXPECT_EQ(config.version(), 0);
    EXPECT_FALSE(config.coronal());
    EXPECT_FALSE(config.sagittal());
    config.addAnatomicDomain(688, 2);
    config.addAnatomicDomain(123456, 1);
    config.addSimilarDomain(1097, -3);
    config.setVersion(5);
    config.setCoronal(true);
    EXPECT_EQ(config.anatomicDomain(0), f.byAcronym("CTX"));
    EXPECT_EQ(config.anatomicIndent(0), 2);
    EXPECT_EQ(config.anatomicDomain(1), nullptr);
    EXPECT_EQ(config.similarDomain(0), f.byAcronym("HY"));
    EXPECT_EQ(config.similarIndent(0), 0) << "a negative indent is no indent";
    for (int bad : {-1, 2}) {
        EXPECT_THROW(config.anatomicDomain(bad), std::invalid_argument);
        EXPECT_THROW(config.anatomicIndent(bad), std::invalid_argument);
    }
    EXPECT_THROW(config.similarDomain(1), std::invalid_argument);
    EXPECT_THROW(config.similarIndent(-1), std::invalid_argument);

    config.clear();
    EXPECT_EQ(config.anatomicDomainCount(), 0);
    EXPECT_EQ(config.similarDomainCount(), 0);
    EXPECT_EQ(config.version(), 5);
    EXPECT_TRUE(config.coronal());
}

TEST(SearchConfig, IdsBeyondSixteenBitsAreNotFoldedOntoOthers) {
    SearchFixture f;
    SearchConfig config(f.ontology(), "");
    // 66633 is 1097 + 65536: a 16-bit id would find the hypothalamus.
    config.addAnatomicDomain(66633, 0);
    EXPECT_EQ(config.anatomicDomain(0), nullptr);
}

// A per-user and an installed directory, with the installed copy of version 1 unless told otherwise.
class SearchConfigLoading : public ::testing::Test, public SearchFixture {
  protected:
    SearchConfigLoading() {
        std::filesystem::create_directories(userDir);
        std::filesystem::create_directories(dataDir);
        writeInstalled(test::kSampleSearchDomains);
    }
    void writeInstalled(const std::string& text) const {
        test::writeBytes(dataDir + kSearchDomainsFile, text);
    }
    void writeUser(const std::string& text) const { test::writeBytes(userDir + kSearchDomainsFile, text); }
    std::unique_ptr<SearchConfig> load() const { return loadSearchConfig(ontology(), userDir, dataDir); }

    const std::string userDir = dir.path() + "/user/";
    const std::string dataDir = dir.path() + "/data/";
    const std::string userCopy = R"(<SearchDomains version="2"><AnatomicSearch><Domain id="549" indent="4"/>
        </AnatomicSearch><Corrana sagittal="true"><Domain id="688"/></Corrana></SearchDomains>)";
};

TEST_F(SearchConfigLoading, PrefersAReadablePerUserCopy) {
    writeUser(userCopy);
    const auto config = load();
    EXPECT_EQ(config->version(), 2);
    ASSERT_EQ(config->anatomicDomainCount(), 1);
    EXPECT_EQ(config->anatomicDomain(0), byAcronym("TH"));
    EXPECT_FALSE(config->coronal());
    EXPECT_TRUE(config->sagittal());
}

TEST_F(SearchConfigLoading, FallsBackToTheInstalledCopyWithoutDuplicates) {
    const char* const userCopies[] = {
        nullptr, // none downloaded
        // Broken after some entries were read.
        R"(<SearchDomains version="2"><AnatomicSearch><Domain id="549"/><Domain id="688"/>)",
        // Well-formed but without similar-gene domains.
        R"(<SearchDomains version="2"><AnatomicSearch><Domain id="549"/></AnatomicSearch></SearchDomains>)",
        ""};
    for (const char* user : userCopies) {
        SCOPED_TRACE(user ? user : "(none)");
        if (user) writeUser(user);
        const auto config = load();
        EXPECT_EQ(config->version(), 1);
        EXPECT_EQ(config->anatomicDomainCount(), 3);
        EXPECT_EQ(config->similarDomainCount(), 2);
        EXPECT_EQ(config->anatomicDomain(0), byAcronym("root"));
    }
}

TEST_F(SearchConfigLoading, NoUsableCopyIsAnError) {
    std::filesystem::remove(dataDir + kSearchDomainsFile);
    EXPECT_EQ(errorOf([&] { load(); }), kMissingFile);
    // A broken per-user copy does not hide the missing installed one.
    writeUser("<SearchDomains>");
    EXPECT_EQ(errorOf([&] { load(); }), kMissingFile);
    // The installed copy's own errors reach the caller.
    writeInstalled(R"(<SearchDomains><AnatomicSearch><Domain id="688"/></AnatomicSearch></SearchDomains>)");
    EXPECT_EQ(errorOf([&] { load(); }), "Search configuration file is not in the expected format.");
    writeInstalled("<SearchDomains");
    EXPECT_EQ(errorOf([&] { load(); }), "Error parsing search configuration file.");
}

TEST_F(SearchConfigLoading, LoadInstalledAppendsToTheLists) {
    SearchConfig config(ontology(), dataDir);
    config.loadInstalled();
    config.loadInstalled();
    EXPECT_EQ(config.anatomicDomainCount(), 6);
    SearchConfig elsewhere(ontology(), dir.path() + "/nowhere/");
    EXPECT_EQ(errorOf([&] { elsewhere.loadInstalled(); }), kMissingFile);
}

} // namespace
} // namespace volumira

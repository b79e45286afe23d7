#include "SearchTestSupport.h"
#include "search/SearchConfigReader.h"
#include "support/ErrorText.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

namespace volumira {
namespace {

using test::errorOf;
using test::SearchFixture;

class SearchConfigReaderTest : public ::testing::Test, public SearchFixture {
  protected:
    // Reads text into a fresh configuration; returns the error text, "" on success.
    std::string read(const std::string& text) {
        return errorOf([&] { SearchConfigReader(write("SearchDomains.xml", text), &config); });
    }

    SearchConfig config{ontology(), dir.path() + "/"};
};

TEST_F(SearchConfigReaderTest, ReadsTheSampleDataFormat) {
    ASSERT_EQ(read(test::kSampleSearchDomains), "");
    EXPECT_EQ(config.version(), 1);
    EXPECT_TRUE(config.coronal());
    EXPECT_TRUE(config.sagittal());
    ASSERT_EQ(config.anatomicDomainCount(), 3);
    EXPECT_EQ(config.anatomicDomain(0), byAcronym("root"));
    EXPECT_EQ(config.anatomicDomain(1), byAcronym("CTX"));
    EXPECT_EQ(config.anatomicDomain(2), byAcronym("TH"));
    EXPECT_EQ(config.anatomicIndent(0), 0);
    EXPECT_EQ(config.anatomicIndent(2), 1);
    ASSERT_EQ(config.similarDomainCount(), 2);
    EXPECT_EQ(config.similarDomain(0), byAcronym("root"));
    EXPECT_EQ(config.similarDomain(1), byAcronym("HY"));
    EXPECT_EQ(config.similarIndent(1), 1);
}

TEST_F(SearchConfigReaderTest, OnlyStartTagsSelectTheListAndDomainsNeedAnId) {
    ASSERT_EQ(read(R"(<SearchDomains version="7">
        <Domain id="688" indent="1"/>
        <AnatomicSearch>
          <Domain id="688"/>
          <Domain indent="2"/>
          <Domain id="-5" indent="2"/>
          <Domain id="12abc" indent="2"/>
          <Domain id="4242" indent="3"/>
        </AnatomicSearch>
        <Domain id="549" indent="-4"/>
        <Corrana><Domain id="0" indent="x"/></Corrana>
      </SearchDomains>)"),
              "");
    EXPECT_EQ(config.version(), 7);
    // Before either section: skipped. After the anatomic end tag: still anatomic.
    ASSERT_EQ(config.anatomicDomainCount(), 3);
    EXPECT_EQ(config.anatomicDomain(0), byAcronym("CTX"));
    EXPECT_EQ(config.anatomicIndent(0), 0);
    // An id that names no structure stays as an entry without one.
    EXPECT_EQ(config.anatomicDomain(1), nullptr);
    EXPECT_EQ(config.anatomicIndent(1), 3);
    EXPECT_EQ(config.anatomicDomain(2), byAcronym("TH"));
    EXPECT_EQ(config.anatomicIndent(2), 0);
    ASSERT_EQ(config.similarDomainCount(), 1);
    EXPECT_EQ(config.similarDomain(0), nullptr) << "id 0 is no structure, not \"No Annotation\"";
    EXPECT_FALSE(config.coronal());
    EXPECT_FALSE(config.sagittal());
}

TEST_F(SearchConfigReaderTest, PlaneSwitchesAreTrueOnlyForExactlyTrue) {
    const struct {
        const char* attributes;
        bool coronal, sagittal;
    } cases[] = {{R"(coronal="true" sagittal="true")", true, true},
                 {R"(coronal="TRUE" sagittal="true")", false, true},
                 {R"(coronal="True" sagittal="1")", false, false},
                 {R"(sagittal="true")", false, true},
                 {R"(coronal="true ")", false, false},
                 {"", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        SearchConfig fresh(ontology(), "");
        const std::string text =
            std::string("<SearchDomains><AnatomicSearch><Domain id=\"688\"/></AnatomicSearch>"
                        "<Corrana ") +
            c.attributes + "><Domain id=\"549\"/></Corrana></SearchDomains>";
        SearchConfigReader(write("planes.xml", text), &fresh);
        EXPECT_EQ(fresh.coronal(), c.coronal);
        EXPECT_EQ(fresh.sagittal(), c.sagittal);
        EXPECT_EQ(fresh.similarSearchOffered(0), c.coronal);
        EXPECT_EQ(fresh.similarSearchOffered(1), c.sagittal);
        EXPECT_TRUE(fresh.similarSearchOffered(2));
    }
}

TEST_F(SearchConfigReaderTest, BadFilesFailWithTheirMessage) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {R"(<SearchDomains><AnatomicSearch><Domain id="688"/></AnatomicSearch><Corrana/></SearchDomains>)",
         "Search configuration file is not in the expected format."},
        {R"(<SearchDomains><Corrana><Domain id="688"/></Corrana></SearchDomains>)",
         "Search configuration file is not in the expected format."},
        {R"(<SearchDomains><AnatomicSearch><Domain id="-1"/></AnatomicSearch>
            <Corrana><Domain id="688"/></Corrana></SearchDomains>)",
         "Search configuration file is not in the expected format."},
        {"<Other/>", "Search configuration file is not in the expected format."},
        {R"(<SearchDomains><AnatomicSearch><Domain id="688"></AnatomicSearch></SearchDomains>)",
         "Error parsing search configuration file."},
        {R"(<SearchDomains><AnatomicSearch><Domain id="688"/></AnatomicSearch>)",
         "Error parsing search configuration file."},
        {"", "Error parsing search configuration file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SearchConfig fresh(ontology(), "");
        EXPECT_EQ(errorOf([&] { SearchConfigReader(write("bad.xml", c.text), &fresh); }), c.error);
    }
}

TEST_F(SearchConfigReaderTest, MissingArgumentsAndUnreadablePaths) {
    EXPECT_THROW(SearchConfigReader(write("a.xml", test::kSampleSearchDomains), nullptr),
                 std::invalid_argument);
    EXPECT_EQ(errorOf([&] { SearchConfigReader(write("a.xml", test::kSampleSearchDomains), nullptr); }),
              "Unexpected NULL pointer.");
    EXPECT_THROW(SearchConfigReader("", &config), std::invalid_argument);
    EXPECT_EQ(errorOf([&] { SearchConfigReader("", &config); }),
              "Search configuration file path not specified.");
    EXPECT_EQ(errorOf([&] { SearchConfigReader(dir.file("absent.xml"), &config); }),
              "Search configuration file could not be opened.");
    std::filesystem::create_directory(dir.file("folder.xml"));
    EXPECT_EQ(errorOf([&] { SearchConfigReader(dir.file("folder.xml"), &config); }),
              "Search configuration file could not be read.");
}

TEST_F(SearchConfigReaderTest, FilesSpanningSeveralBlocksAreReadWhole) {
    // Sizes around the 4096-byte block: one that ends exactly on a block boundary makes the final block
    // empty.
    for (std::size_t size : {std::size_t{4095}, std::size_t{4096}, std::size_t{8192}, std::size_t{20000}}) {
        SCOPED_TRACE(size);
        std::string text = "<SearchDomains version=\"3\"><AnatomicSearch>";
        int domains = 0;
        const std::string domain = "<Domain id=\"688\" indent=\"2\"/>";
        const std::string tail = "</AnatomicSearch><Corrana><Domain id=\"549\"/></Corrana></SearchDomains>";
        while (text.size() + domain.size() + tail.size() <= size) {
            text += domain;
            ++domains;
        }
        text += tail;
        text.append(size - text.size(), '\n');
        ASSERT_EQ(text.size(), size);
        SearchConfig fresh(ontology(), "");
        SearchConfigReader(write("big.xml", text), &fresh);
        EXPECT_EQ(fresh.anatomicDomainCount(), domains);
        EXPECT_EQ(fresh.anatomicDomain(domains - 1), byAcronym("CTX"));
        EXPECT_EQ(fresh.similarDomainCount(), 1);
        EXPECT_EQ(fresh.version(), 3);
    }
}

} // namespace
} // namespace volumira

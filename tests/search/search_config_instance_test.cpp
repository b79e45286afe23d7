#include "SearchTestSupport.h"
#include "atlas/ReferenceAtlas.h"
#include "support/ErrorText.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::errorOf;

TEST(SearchConfigInstance, BuiltOnFirstUseFromTheDataLocationsAndRetriedAfterAFailure) {
    test::TempDir data, user, shared;
    // The data locations are computed once per process: they point at directories filled afterwards.
    ::setenv("VOLUMIRA_DATA_DIR", data.path().c_str(), 1);
    ::setenv("VOLUMIRA_USER_DIR", user.path().c_str(), 1);
    ::setenv("VOLUMIRA_ATLAS_DIR", shared.path().c_str(), 1);
    test::writeAtlasBasics(data.path() + "/", test::coarseVolume());

    EXPECT_EQ(errorOf([] { SearchConfig::instance(); }),
              "Volumira is missing a critical configuration file. Please try reinstalling the application.");

    test::writeBytes(data.file(kSearchDomainsFile), test::kSampleSearchDomains);
    SearchConfig& first = SearchConfig::instance();
    EXPECT_EQ(&SearchConfig::instance(), &first);
    EXPECT_EQ(first.version(), 1);
    EXPECT_EQ(first.anatomicDomain(1), ReferenceAtlas::instance().ontology().structureByAcronym("CTX"));

    // The search-domain update puts a newly read configuration in place of the old one.
    test::writeBytes(user.file(kSearchDomainsFile),
                     R"(<SearchDomains version="9"><AnatomicSearch><Domain id="549"/></AnatomicSearch>
                        <Corrana><Domain id="688"/></Corrana></SearchDomains>)");
    SearchConfig::replaceInstance(
        loadSearchConfig(ReferenceAtlas::instance().ontology(), user.path() + "/", data.path() + "/"));
    EXPECT_EQ(SearchConfig::instance().version(), 9);

    SearchConfig::releaseInstance();
    EXPECT_EQ(SearchConfig::instance().version(), 9) << "read again from the per-user copy";
    SearchConfig::releaseInstance();
    ReferenceAtlas::releaseInstance();
    for (const char* name : {"VOLUMIRA_DATA_DIR", "VOLUMIRA_USER_DIR", "VOLUMIRA_ATLAS_DIR"})
        ::unsetenv(name);
}

} // namespace
} // namespace volumira

#include "SearchTestSupport.h"
#include "search/AnatomicQuery.h"
#include "support/ErrorText.h"

#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace volumira {
namespace {

using test::errorOf;

const char* const kNoRegion = "Anatomic region must be specified.";
const char* const kNoFilter =
    "At least one expression level, coverage, or pattern filter must be chosen for each row.";

// Anatomic domains: 0 CTX, 1 TH (indent 1), 2 an id without structure (indent 2), 3 HY (indent 1).
class AnatomicQueryTest : public testing::Test {
  protected:
    AnatomicQueryTest() : config_(fixture_.ontology(), "") {
        config_.addAnatomicDomain(688, 0);
        config_.addAnatomicDomain(549, 1);
        config_.addAnatomicDomain(424242, 2);
        config_.addAnatomicDomain(1097, 1);
    }

    test::SearchFixture fixture_;
    SearchConfig config_;
};

struct QueryCase {
    const char* name;
    std::vector<AnatomicRow> rows;
    const char* text;    // expected query text, or "" when an error is expected
    const char* caption; // expected caption, or the expected error
};

void PrintTo(const QueryCase& c, std::ostream* os) {
    *os << c.name;
}

class AnatomicQueries : public AnatomicQueryTest, public testing::WithParamInterface<QueryCase> {};

TEST_P(AnatomicQueries, BuildsTextAndCaptionOrFails) {
    const QueryCase& c = GetParam();
    AnatomicSearchRows rows;
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        if (i > 0) {
            ASSERT_TRUE(rows.addRow());
        }
        rows.row(static_cast<int>(i)) = c.rows[i];
    }
    if (*c.text == '\0') {
        EXPECT_EQ(errorOf([&] { rows.build(config_); }), c.caption);
        return;
    }
    const AnatomicQuery query = rows.build(config_);
    EXPECT_EQ(query.text, c.text);
    EXPECT_EQ(query.caption, c.caption);
}

// Rows: region, level, density, pattern, operator before the row.
INSTANTIATE_TEST_SUITE_P(
    Rows, AnatomicQueries,
    testing::Values(
        QueryCase{"LevelHigh", {{0, 2, 0, 0, 0}}, "structac=CTX[xlevel=2]", "CTX"},
        QueryCase{
            "AllFiltersInOrder", {{1, 1, 2, 1, 0}}, "structac=TH[xlevel=1;xdensity=2;xpattern=1]", "TH"},
        QueryCase{"DensityAndPattern", {{3, 0, 1, 2, 0}}, "structac=HY[xdensity=1;xpattern=2]", "HY"},
        QueryCase{"HighOrClustered",
                  {{0, 2, 0, 0, 0}, {1, 0, 0, 2, 1}},
                  "structac=CTX[xlevel=2] or structac=TH[xpattern=2]",
                  "CTX or TH"},
        QueryCase{"AndThenOrWithoutBrackets",
                  {{0, 1, 0, 0, 0}, {1, 0, 2, 0, 0}, {3, 0, 0, 1, 1}},
                  "structac=CTX[xlevel=1] and structac=TH[xdensity=2] or structac=HY[xpattern=1]",
                  "CTX and TH or HY"},
        QueryCase{"AllAny", {{0, 0, 0, 0, 0}}, "", kNoFilter},
        QueryCase{"NoRegion", {{-1, 2, 0, 0, 0}}, "", kNoRegion},
        QueryCase{"DomainWithoutStructure", {{2, 2, 0, 0, 0}}, "", kNoRegion},
        QueryCase{"RegionBeyondTheList", {{4, 2, 0, 0, 0}}, "", kNoRegion},
        QueryCase{"SecondRowAllAny", {{0, 2, 0, 0, 0}, {1, 0, 0, 0, 1}}, "", kNoFilter},
        QueryCase{
            "ThirdRowWithoutRegion", {{0, 2, 0, 0, 0}, {1, 1, 0, 0, 0}, {-1, 1, 0, 0, 0}}, "", kNoRegion}),
    [](const testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.name); });

TEST_F(AnatomicQueryTest, RegionListsIndentAndKeepPositionsOfDomainsWithoutStructure) {
    const std::vector<std::string> labels = anatomicDomainLabels(config_);
    EXPECT_EQ(labels, (std::vector<std::string>{"Cortex", "   Thalamus", "      ", "   Hypothalamus"}));
}

TEST(AnatomicSearchRows, AddsUpToThreeRowsStartingAtFirstItems) {
    AnatomicSearchRows rows;
    EXPECT_EQ(rows.visibleRows(), 1);
    EXPECT_TRUE(rows.addRow());
    rows.row(1) = {3, 2, 2, 2, 1};
    EXPECT_TRUE(rows.addRow());
    EXPECT_FALSE(rows.addRow());
    EXPECT_EQ(rows.visibleRows(), 3);
    const AnatomicRow& third = rows.row(2);
    EXPECT_EQ(third.region, -1);
    EXPECT_EQ(third.level + third.density + third.pattern + third.joinOperator, 0);
    EXPECT_THROW(rows.row(3), std::invalid_argument);
}

TEST(AnatomicSearchRows, DeletingTheSecondRowMovesTheThirdUp) {
    AnatomicSearchRows rows;
    rows.addRow();
    rows.addRow();
    rows.row(1) = {0, 1, 0, 0, 0};
    rows.row(2) = {3, 0, 2, 1, 1};
    rows.deleteRow(1);
    ASSERT_EQ(rows.visibleRows(), 2);
    const AnatomicRow& moved = rows.row(1);
    EXPECT_EQ(moved.region, 3);
    EXPECT_EQ(moved.density, 2);
    EXPECT_EQ(moved.pattern, 1);
    EXPECT_EQ(moved.joinOperator, 1);
    // A row shown again starts empty, not with the selections it had before.
    rows.addRow();
    EXPECT_EQ(rows.row(2).region, -1);
    EXPECT_THROW(rows.deleteRow(0), std::invalid_argument);
    EXPECT_THROW(rows.deleteRow(3), std::invalid_argument);
}

} // namespace
} // namespace volumira

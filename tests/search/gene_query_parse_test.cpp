#include "GeneQueryTestData.h"
#include "search/GeneQuery.h"
#include "search/PagedGeneList.h"
#include "support/ErrorText.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace volumira {
namespace {

using test::describe;

// Feeds a response to a fresh query in the given pieces, as the transfer would, and describes the list.
std::vector<std::string> parse(const std::string& response, const std::vector<std::size_t>& cuts,
                               PagedGeneList& list) {
    GeneQuery query(&list, &list);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(response.data());
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        query.dataReceived(bytes + from, cut - from);
        from = cut;
    }
    query.dataReceived(bytes + from, response.size() - from);
    query.transferComplete(nullptr, 0);
    return describe(list);
}

std::vector<std::string> parse(const std::string& response, const std::vector<std::size_t>& cuts = {}) {
    PagedGeneList list("0310", 10);
    return parse(response, cuts, list);
}

TEST(GeneQueryParsing, RecordsBecomeGenesAtTheirIndex) {
    const std::vector<std::string> expected{
        "0: Gad1 | glutamate decarboxylase 1 | gene 14415 | series 79 | plane 0 | probe 1 | "
        "http://h/GridFile?imageseriesid=79&level=2 | 1234 bytes | score -1 | available | adult <P56>",
        "1: Pvalb | parvalbumin | gene 19293 | series 80 | plane -1 | probe 0 |  | 0 bytes | score 0.875 | "
        "unavailable | ",
        "2: Calb1 |  | gene 0 | series 81 | plane 1 | probe -1 |  | 0 bytes | score -1 | available | ",
        "size 42 final"};
    EXPECT_EQ(parse(test::geneListResponse()), expected);
}

TEST(GeneQueryParsing, EverySplitOfTheResponseGivesTheSameRecords) {
    const std::string response = test::geneListResponse();
    const std::vector<std::string> whole = parse(response);
    for (std::size_t cut = 1; cut < response.size(); ++cut)
        ASSERT_EQ(parse(response, {cut}), whole) << "split at byte " << cut;
    std::vector<std::size_t> everyByte;
    for (std::size_t cut = 1; cut < response.size(); ++cut)
        everyByte.push_back(cut);
    EXPECT_EQ(parse(response, everyByte), whole);
}

TEST(GeneQueryParsing, TotalIsTakenOnlyWhenPresentAndNotBelowTheRecordsHeld) {
    // Without a total the list grows with the records and stays open.
    EXPECT_EQ(parse(test::geneListResponse("")).back(), "size 3 open");

    PagedGeneList list("0310", 10);
    list.addResult(std::make_unique<GeneExpression>("n", "Held"), 5);
    parse(test::geneListResponse("<totalResultsSize>4</totalResultsSize>"), {}, list);
    EXPECT_FALSE(list.totalKnown());
    EXPECT_EQ(list.size(), 6);
    EXPECT_EQ(list.result(5)->symbol(), "Held");

    PagedGeneList negative("0310", 10);
    parse(test::geneListResponse("<totalResultsSize>-3</totalResultsSize>"), {}, negative);
    EXPECT_FALSE(negative.totalKnown());
    // Leading digits count; anything after them is ignored.
    PagedGeneList trailing("0310", 10);
    parse(test::geneListResponse("<totalResultsSize> 12abc</totalResultsSize>"), {}, trailing);
    EXPECT_EQ(trailing.size(), 12);
}

TEST(GeneQueryParsing, SeriesAndCorrelationRecordsCompleteOutsideGeneRecords) {
    const std::vector<std::string> series = parse(test::seriesResponse("ImageSeries", 0, 2, 2));
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(series[1], "1: S1 |  | gene 0 | series 1001 | plane -1 | probe -1 |  | 0 bytes | score 0.8 | "
                         "available | ");
    EXPECT_EQ(parse(test::seriesResponse("Correlation", 0, 3, 7)).back(), "size 7 final");
}

TEST(GeneQueryParsing, AMalformedResponseKeepsTheRecordsBeforeTheFaultAndCompletes) {
    std::string response = test::geneListResponse();
    response.insert(response.find("<Gene><geneId>"), "<broken attr=>");
    PagedGeneList list("0310", 10);
    GeneQuery query(&list, &list);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(response.data());
    list.queryStarted(&query);
    query.dataReceived(bytes, response.size());
    query.transferComplete(nullptr, 0);
    EXPECT_EQ(list.size(), 42);
    EXPECT_NE(list.result(0), nullptr);
    EXPECT_EQ(list.result(1), nullptr);
    EXPECT_EQ(list.status(), "");
}

TEST(GeneQueryParsing, WithoutAListNothingIsBuilt) {
    GeneQuery query(nullptr, nullptr);
    const std::string response = test::geneListResponse();
    query.dataReceived(reinterpret_cast<const std::uint8_t*>(response.data()), response.size());
    query.transferComplete(nullptr, 0);
    EXPECT_EQ(query.total(), 42);
}

TEST(GeneQueryRequests, NeedsASearch) {
    GeneQuery query(nullptr, nullptr);
    EXPECT_EQ(test::errorOf([&] { query.requestPage(0); }), "Bad query.");
    EXPECT_EQ(test::errorOf([&] { query.requestBody(1); }), "Bad query.");
    EXPECT_FALSE(query.isRunning());
}

} // namespace
} // namespace volumira

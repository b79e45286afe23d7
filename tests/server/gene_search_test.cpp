// The gene search service: text and anatomic searches, paging, image series lists and similar genes.

#include "ServerFixture.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace volumira::test {

namespace {

std::vector<std::string> symbols(const SearchAnswer& answer) {
    std::vector<std::string> out;
    for (const auto& record : answer.records)
        out.push_back(record.at("geneSymbol"));
    return out;
}

std::set<std::string> symbolSet(const SearchAnswer& answer) {
    const auto list = symbols(answer);
    return {list.begin(), list.end()};
}

using GeneSearchTest = ServerTest;

TEST_F(GeneSearchTest, ATextSearchFindsTheSymbolFirstThenPrefixesThenNames) {
    const SearchAnswer gad1 = searchText("Gad1", 10, 0);
    ASSERT_EQ(gad1.status, 200);
    ASSERT_FALSE(gad1.records.empty());
    const auto& first = gad1.records.front();
    EXPECT_EQ(first.at("geneSymbol"), "Gad1");
    EXPECT_EQ(first.at("geneName"), "glutamate decarboxylase 1");
    EXPECT_EQ(first.at("plane"), "coronal");
    EXPECT_EQ(first.at("probeOrientation"), "antisense");
    EXPECT_EQ(first.at("processingStatus"), "Available");
    EXPECT_EQ(first.at("qcState"), "1");
    EXPECT_EQ(first.at("id"), first.at("geneId"));
    EXPECT_EQ(first.at("expressionFileUrl"), "http://127.0.0.1:" + std::to_string(port()) +
                                                 "/GridFile?imageseriesid=" + first.at("imageSeriesId") +
                                                 "&level=2");
    // The announced size is the size of the file that URL serves.
    const auto file = get("/GridFile?imageseriesid=" + first.at("imageSeriesId") + "&level=2");
    ASSERT_TRUE(file);
    EXPECT_EQ(first.at("expressionFileSize"), std::to_string(file->body.size()));

    // Ignoring case: "gad" matches Gad1 and Gad2 by symbol, and names holding "decarboxylase" by name.
    EXPECT_EQ(symbols(searchText("gad", 10, 0)), (std::vector<std::string>{"Gad1", "Gad2"}));
    const SearchAnswer byName = searchText("DECARBOXYLASE", 10, 0);
    EXPECT_EQ(symbols(byName), (std::vector<std::string>{"Gad1", "Gad2"}));
    const SearchAnswer calb = searchText("calb", 10, 0);
    EXPECT_EQ(symbols(calb), (std::vector<std::string>{"Calb1", "Calb2"}));
    const SearchAnswer none = searchText("no such gene", 10, 0);
    EXPECT_EQ(none.status, 200);
    EXPECT_EQ(none.total, 0);
    EXPECT_TRUE(none.records.empty());
}

TEST_F(GeneSearchTest, PagesTileTheWholeResultAndAllReportTheSameTotal) {
    // "protein" is in the names of many genes.
    const SearchAnswer all = searchText("protein", 1000, 0);
    ASSERT_GT(all.total, 12);
    ASSERT_EQ(static_cast<long>(all.records.size()), all.total);
    std::vector<std::string> paged;
    for (int start = 0; start < all.total + 5; start += 5) {
        const SearchAnswer page = searchText("protein", 5, start);
        EXPECT_EQ(page.total, all.total) << start;
        EXPECT_EQ(page.records.size(), static_cast<std::size_t>(std::clamp<long>(all.total - start, 0, 5)))
            << start;
        const auto s = symbols(page);
        paged.insert(paged.end(), s.begin(), s.end());
    }
    EXPECT_EQ(paged, symbols(all));
    const SearchAnswer past = searchText("protein", 10, static_cast<int>(all.total) + 100);
    EXPECT_EQ(past.total, all.total);
    EXPECT_TRUE(past.records.empty());
}

TEST_F(GeneSearchTest, AnAnatomicSearchFindsTheGenesExpressedInTheRegion) {
    const SearchAnswer dentate = searchText("structac=DG[xlevel=2;xdensity=2]", 1000, 0, true);
    ASSERT_EQ(dentate.status, 200) << dentate.fault;
    const auto dg = symbolSet(dentate);
    EXPECT_TRUE(dg.count("Prox1"));
    EXPECT_TRUE(dg.count("Calb1"));
    EXPECT_FALSE(dg.count("Gabra6")); // cerebellar granule cells only
    EXPECT_FALSE(dg.count("Mbp"));

    const auto striatum = symbolSet(searchText("structac=CP[xlevel=2;xdensity=2]", 1000, 0, true));
    for (const char* gene : {"Ppp1r1b", "Gpr88", "Gad1", "Drd1"})
        EXPECT_TRUE(striatum.count(gene)) << gene;
    EXPECT_FALSE(striatum.count("Prox1"));
    EXPECT_FALSE(striatum.count("Slc17a7"));

    // "or" gives the union, "and" the intersection of the terms.
    const auto either = symbolSet(
        searchText("structac=DG[xlevel=2;xdensity=2] or structac=CP[xlevel=2;xdensity=2]", 1000, 0, true));
    const auto both = symbolSet(
        searchText("structac=DG[xlevel=2;xdensity=2] and structac=CP[xlevel=2;xdensity=2]", 1000, 0, true));
    std::set<std::string> unionSet = dg, intersection;
    unionSet.insert(striatum.begin(), striatum.end());
    std::set_intersection(dg.begin(), dg.end(), striatum.begin(), striatum.end(),
                          std::inserter(intersection, intersection.begin()));
    EXPECT_EQ(either, unionSet);
    EXPECT_EQ(both, intersection);

    // Oxytocin cells lie in clusters within the paraventricular nucleus, vasopressin cells spread over it.
    const auto clustered = symbolSet(searchText("structac=PVH[xpattern=2]", 1000, 0, true));
    const auto spread = symbolSet(searchText("structac=PVH[xpattern=1]", 1000, 0, true));
    EXPECT_TRUE(clustered.count("Oxt"));
    EXPECT_FALSE(clustered.count("Avp"));
    EXPECT_TRUE(spread.count("Avp"));
    EXPECT_FALSE(spread.count("Oxt"));
}

TEST_F(GeneSearchTest, MalformedRequestsAreFaultsThatSayWhy) {
    struct Case {
        std::string query;
        std::string fault;
    };
    const Case cases[] = {
        {"structac=XX[xlevel=2]", "\"XX\" is not a structure of the anatomic search."},
        {"structac=FT[xlevel=2]", "\"FT\" is not a structure of the anatomic search."},
        {"structac=CP[]", "a term needs at least one filter"},
        {"structac=CP[xlevel=3]", "filter value must be 1 or 2"},
        {"structac=CP[xcolour=1]", "unknown filter"},
        {"structac=CP[xlevel=2", "missing ']'"},
        {"structac=CP[xlevel=2] nor structac=DG[xlevel=2]", "joined by"},
        {"CP[xlevel=2]", "must start with structac="},
        {"structac=CP[xlevel=2] and ", "must start with structac="},
    };
    for (const Case& c : cases) {
        const SearchAnswer answer = searchText(c.query, 10, 0, true);
        EXPECT_EQ(answer.status, 500) << c.query;
        EXPECT_NE(answer.fault.find(c.fault), std::string::npos) << c.query << ": " << answer.fault;
        EXPECT_TRUE(answer.records.empty());
    }
    const struct {
        std::string operation;
        std::vector<std::string> parameters;
        std::string fault;
    } requests[] = {
        {"getGeneList1", {"Gad1", "ten", "0", "gene", "false", "", "0310"}, "Parameter in1"},
        {"getGeneList1", {"Gad1", "10", "0", "gene", "false", "", "9999"}, "Unknown project"},
        {"getGeneList1", {"", "10", "0", "gene", "false", "", "0310"}, "empty"},
        {"getCorrana1", {"10", "0", "0310", "12345", "100000", "3"}, "No similarity data"},
        {"getCorrana1", {"10", "0", "0310", "997", "100000", "4"}, "Parameter in5"},
        {"getGeneSoup", {}, "Unknown operation getGeneSoup"},
    };
    for (const auto& r : requests) {
        const SearchAnswer answer = search(r.operation, r.parameters);
        EXPECT_EQ(answer.status, 500) << r.operation;
        EXPECT_NE(answer.fault.find(r.fault), std::string::npos) << r.operation << ": " << answer.fault;
    }
}

TEST_F(GeneSearchTest, TheImageSeriesListHoldsEverySeriesOfTheGene) {
    const std::string gene = searchText("Pvalb", 1, 0).records.at(0).at("geneId");
    const SearchAnswer answer = search("getImageSeriesList", {gene, "0310"});
    ASSERT_EQ(answer.status, 200);
    ASSERT_GE(answer.records.size(), 2u);
    EXPECT_EQ(answer.total, static_cast<long>(answer.records.size()));
    std::set<std::string> planes, ids;
    for (const auto& record : answer.records) {
        EXPECT_EQ(record.at("geneId"), gene);
        EXPECT_EQ(record.at("geneSymbol"), "Pvalb");
        EXPECT_EQ(record.count("id"), 0u); // records of series, not genes
        planes.insert(record.at("plane"));
        ids.insert(record.at("imageSeriesId"));
        const auto file = get("/GridFile?imageseriesid=" + record.at("imageSeriesId") + "&level=0");
        ASSERT_TRUE(file);
        EXPECT_EQ(file->status, 200);
    }
    EXPECT_EQ(planes, (std::set<std::string>{"coronal", "sagittal"}));
    EXPECT_EQ(ids.size(), answer.records.size());

    const SearchAnswer unknown = search("getImageSeriesList", {"1", "0310"});
    EXPECT_EQ(unknown.status, 200);
    EXPECT_EQ(unknown.total, 0);
}

TEST_F(GeneSearchTest, SimilarGenesAreThoseOfTheLocalSimilarityDatabase) {
    const std::string series = searchText("Gad1", 1, 0).records.at(0).at("imageSeriesId");
    // The viewer's own query of the installed database.
    SqlDatabase glm(dataFile("GLM.db"));
    SqlStatement local(glm,
                       "SELECT Experiments.name, Experiments.symbol, Experiments.experimentId, "
                       "Experiments.imageSeriesId, Experiments.geneId, S997.correlation FROM S997 INNER JOIN "
                       "Experiments on S997.experiment2 = Experiments.experimentId WHERE S997.experiment1 = "
                       "(select experimentId from Experiments where imageSeriesId = ?) order by "
                       "S997.correlation desc;");
    ASSERT_TRUE(local.prepareNext());
    ASSERT_EQ(local.bindInt(1, std::stoi(series)), 0);
    std::vector<std::pair<std::string, double>> expected;
    while (local.step())
        expected.push_back({std::to_string(local.columnInt(3)), local.columnDouble(5)});
    ASSERT_GE(expected.size(), 10u);

    const SearchAnswer all = search("getCorrana1", {"1000", "0", "0310", "997", series, "3"});
    ASSERT_EQ(all.status, 200) << all.fault;
    EXPECT_EQ(all.total, static_cast<long>(expected.size()));
    ASSERT_EQ(all.records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(std::stod(all.records[i].at("score")), expected[i].second, 1e-4) << i;
        EXPECT_NE(all.records[i].at("imageSeriesId"), series);
    }
    std::multiset<std::string> want, got;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        want.insert(expected[i].first);
        got.insert(all.records[i].at("imageSeriesId"));
    }
    EXPECT_EQ(got, want);

    // Pages of the same search, and the plane filter.
    const SearchAnswer second = search("getCorrana1", {"10", "10", "0310", "997", series, "3"});
    EXPECT_EQ(second.total, all.total);
    ASSERT_EQ(second.records.size(), std::min<std::size_t>(10, expected.size() - 10));
    EXPECT_EQ(second.records[0].at("score"), all.records[10].at("score"));
    const SearchAnswer sagittal = search("getCorrana1", {"1000", "0", "0310", "997", series, "1"});
    const SearchAnswer coronal = search("getCorrana1", {"1000", "0", "0310", "997", series, "2"});
    EXPECT_EQ(sagittal.total + coronal.total, all.total);
    for (const auto& record : sagittal.records)
        EXPECT_EQ(record.at("plane"), "sagittal");
    for (const auto& record : coronal.records)
        EXPECT_EQ(record.at("plane"), "coronal");
    EXPECT_EQ(search("getCorrana1", {"10", "0", "0310", "997", "1", "3"}).total, 0);
}

} // namespace

} // namespace volumira::test

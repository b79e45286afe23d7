#include "ListRecorder.h"
#include "search/PagedGeneList.h"
#include "support/ErrorText.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace volumira {
namespace {

using Listener = PagedGeneListListener;
using test::errorOf;
using test::ListRecorder;

std::unique_ptr<GeneExpression> gene(const std::string& symbol) {
    return std::make_unique<GeneExpression>(symbol + " name", symbol);
}

// A list of n results, all present, with the total known.
void fill(PagedGeneList& list, int n) {
    list.setTotal(n);
    for (int i = 0; i < n; ++i)
        list.addResult(gene("G" + std::to_string(i)), i);
}

TEST(PagedGeneList, RejectsPageSizesBelowOne) {
    EXPECT_EQ(errorOf([] { PagedGeneList("0310", 0); }), "Page size cannot be less than or equal to zero.");
    EXPECT_THROW(PagedGeneList("0310", -3), std::invalid_argument);
}

TEST(PagedGeneList, ShowPageClampsAndReannouncesPresentRecordsWithoutRequest) {
    PagedGeneList list("0310", 10);
    fill(list, 37);
    EXPECT_EQ(list.pageCount(), 4);
    ListRecorder recorder(list);
    list.showPage(9);
    EXPECT_EQ(list.currentPage(), 3);
    std::vector<std::pair<int, int>> expected{{Listener::kPageChanged, 3}};
    for (int i = 30; i < 37; ++i)
        expected.emplace_back(Listener::kResultStored, i);
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(list.status(), "");

    recorder.events.clear();
    list.showPage(-4);
    EXPECT_EQ(list.currentPage(), 0);
    EXPECT_EQ(recorder.count(Listener::kPageChanged), 1);
    EXPECT_EQ(recorder.count(Listener::kResultStored), 10);
    EXPECT_EQ(recorder.count(Listener::kStatusChanged), 0);
}

TEST(PagedGeneList, StatusTextCountsAndShowsThePageRange) {
    PagedGeneList list("0310", 10);
    EXPECT_EQ(list.statusText(), "");
    fill(list, 37);
    EXPECT_EQ(list.statusText(), "     37 experiments, displaying 1-10");
    list.showPage(1);
    EXPECT_EQ(list.statusText(), "     37 experiments, displaying 11-20");
    list.showPage(3);
    EXPECT_EQ(list.statusText(), "     37 experiments, displaying 31-37");
    list.queryFailed(nullptr, "Could not connect to host");
    EXPECT_EQ(list.statusText(), "Error: Could not connect to host     37 experiments, displaying 31-37");
    list.queryStarted(nullptr);
    EXPECT_EQ(list.status(), "Receiving results list...");
    list.queryComplete(nullptr);
    list.setTotal(0);
    EXPECT_EQ(list.statusText(), "     0 experiments");
    list.clear(false);
    EXPECT_EQ(list.statusText(), "");
}

TEST(PagedGeneList, SetTotalBelowTheSizeDeletesExactlyTheRecordsFromThere) {
    PagedGeneList list("0310", 10);
    list.addResult(gene("A"), 0);
    list.addResult(gene("B"), 4);
    list.addResult(gene("C"), 5);
    list.addResult(gene("D"), 12);
    EXPECT_EQ(list.size(), 13);
    EXPECT_FALSE(list.totalKnown());
    EXPECT_EQ(list.result(1), nullptr);
    ListRecorder recorder(list);
    list.setTotal(5);
    EXPECT_EQ(recorder.events, (std::vector<std::pair<int, int>>{{Listener::kTotalKnown, 0}}));
    EXPECT_EQ(list.size(), 5);
    EXPECT_EQ(list.pageCount(), 1);
    EXPECT_EQ(list.result(4)->symbol(), "B");
    EXPECT_THROW(list.result(5), std::invalid_argument);
    // Growing again does not bring the deleted records back.
    list.setTotal(20);
    EXPECT_EQ(list.result(5), nullptr);
    EXPECT_EQ(list.result(12), nullptr);
    EXPECT_EQ(list.pageCount(), 2);
}

TEST(PagedGeneList, AddAppendAndTheirErrors) {
    PagedGeneList list("0310", 10);
    ListRecorder recorder(list);
    EXPECT_EQ(errorOf([&] { list.addResult(gene("X"), -1); }), "AddGene index out of range.");
    EXPECT_EQ(errorOf([&] { list.setTotal(-1); }), "Gene list size out of range.");
    list.addResult(gene("A"), 2);
    list.addResult(gene("B"), 2);
    list.appendResult(gene("C"));
    EXPECT_EQ(list.size(), 4);
    EXPECT_EQ(list.result(2)->symbol(), "B");
    EXPECT_EQ(list.result(3)->symbol(), "C");
    EXPECT_EQ(recorder.events,
              (std::vector<std::pair<int, int>>{
                  {Listener::kResultStored, 2}, {Listener::kResultStored, 2}, {Listener::kResultStored, 3}}));
    list.clear(true);
    list.clear(false);
    EXPECT_EQ(recorder.events.back(), std::make_pair(Listener::kCleared, 0));
    EXPECT_EQ(recorder.events[recorder.events.size() - 2], std::make_pair(Listener::kClearedForImport, 0));
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.pageCount(), 0);
}

TEST(PagedGeneList, AHugeTotalCostsNothingUntilRecordsArrive) {
    PagedGeneList list("0310", 10);
    list.setTotal(2147483647);
    EXPECT_EQ(list.pageCount(), 214748365);
    list.showPage(214748400);
    EXPECT_EQ(list.currentPage(), 214748364);
    list.addResult(gene("Last"), 2147483646);
    EXPECT_EQ(list.statusText(), "     2147483647 experiments, displaying 2147483641-2147483647");
}

TEST(PagedGeneList, ListenersAreKeptOnceAndMayLeaveWhileTold) {
    PagedGeneList list("0310", 10);
    struct Leaver : PagedGeneListListener {
        int calls = 0;
        void listChanged(int, PagedGeneList& l, int) override {
            ++calls;
            l.removeListener(this);
        }
    } leaver;
    list.addListener(&leaver);
    list.addListener(&leaver);
    ListRecorder recorder(list);
    list.appendResult(gene("A"));
    list.appendResult(gene("B"));
    EXPECT_EQ(leaver.calls, 1);
    EXPECT_EQ(recorder.count(Listener::kResultStored), 2);
}

TEST(PagedGeneList, CancelWithoutQueryEmptiesTheStatus) {
    PagedGeneList list("0310", 10);
    list.queryFailed(nullptr, "x");
    ListRecorder recorder(list);
    list.cancel();
    EXPECT_EQ(list.status(), "");
    EXPECT_EQ(recorder.events, (std::vector<std::pair<int, int>>{{Listener::kStatusChanged, 0}}));
}

} // namespace
} // namespace volumira

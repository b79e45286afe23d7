#include "GeneQueryTestData.h"
#include "ListRecorder.h"
#include "NetTestSupport.h"
#include "search/GeneQuery.h"
#include "search/PagedGeneList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace volumira {
namespace {

using Listener = PagedGeneListListener;

const char* const kBodyStart = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                               "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
                               "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                               "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n"
                               "<soap:Body>\n";

// A service that records each request body and answers text searches with the canned gene list (page 3:
// two records), image series and similar-gene searches with their records, and "fail" with a 500.
class GeneQueryNet : public testing::Test {
  protected:
    GeneQueryNet()
        : server_([this](httplib::Server& s) {
              s.Post(
                  "/services/GeneSearchService", [this](const httplib::Request& req, httplib::Response& res) {
                      bodies_.add(req.body);
                      if (req.body.find(">fail<") != std::string::npos) {
                          res.status = 500;
                          res.set_content("<soap:Fault/>", "text/xml");
                      } else if (req.body.find("<getImageSeriesList") != std::string::npos) {
                          res.set_content(test::seriesResponse("ImageSeries", 0, 3, 3),
                                          "text/xml; charset=utf-8");
                      } else if (req.body.find("<getCorrana1") != std::string::npos) {
                          res.set_content(test::seriesResponse("Correlation", 0, 10, 25),
                                          "text/xml; charset=utf-8");
                      } else if (req.body.find("<in2>30</in2>") != std::string::npos) {
                          res.set_content(test::seriesResponse("Gene", 30, 2, 42), "text/xml; charset=utf-8");
                      } else {
                          res.set_content(test::geneListResponse(), "text/xml; charset=utf-8");
                      }
                  });
          }),
          url_(server_.url("/services/GeneSearchService")), recorder_(list_) {
        // Similar-gene searches go to the server, whatever the machine has installed.
        list_.setCorrelationDatabase(std::string());
    }

    // Runs the reports until the list's request has ended one way or the other.
    void finish() {
        const int ends =
            recorder_.count(Listener::kRequestComplete) + recorder_.count(Listener::kRequestFailed);
        ASSERT_TRUE(ui_.runUntil([&] {
            return recorder_.count(Listener::kRequestComplete) + recorder_.count(Listener::kRequestFailed) >
                   ends;
        }));
    }

    test::Captured bodies_;
    test::CannedServer server_;
    std::string url_;
    test::UiThread ui_;
    PagedGeneList list_{"0310", 10};
    test::ListRecorder recorder_;
};

TEST_F(GeneQueryNet, TextSearchSendsTheEscapedTextAndPagesByTen) {
    list_.searchText(url_, "Gad1 <b>&", "Gad1 title", "0310", false);
    EXPECT_EQ(list_.status(), "Searching...");
    EXPECT_EQ(list_.title(), "Gad1 title");
    finish();
    EXPECT_EQ(bodies_.items().at(0), std::string(kBodyStart) +
                                         "<getGeneList1 xmlns=\"urn:volumira:GeneSearchService\">\n"
                                         "<in0>Gad1 &lt;b&gt;&amp;</in0>\n"
                                         "<in1>10</in1>\n"
                                         "<in2>0</in2>\n"
                                         "<in3>gene</in3>\n"
                                         "<in4>false</in4>\n"
                                         "<in5 />\n"
                                         "<in6>0310</in6>\n"
                                         "</getGeneList1>\n"
                                         "</soap:Body></soap:Envelope>\n");
    EXPECT_EQ(list_.status(), "");
    EXPECT_EQ(list_.statusText(), "     42 experiments, displaying 1-10");
    EXPECT_EQ(list_.result(0)->symbol(), "Gad1");
    EXPECT_TRUE(list_.geneResults());
    // The order of a search: status, cleared list, answer, total, records, completion.
    ASSERT_GE(recorder_.events.size(), 5u);
    EXPECT_EQ(recorder_.events[0], std::make_pair(Listener::kStatusChanged, 0));
    EXPECT_EQ(recorder_.events[1], std::make_pair(Listener::kCleared, 0));
    EXPECT_EQ(recorder_.events[2], std::make_pair(Listener::kStatusChanged, 0));
    EXPECT_EQ(recorder_.events[3], std::make_pair(Listener::kTotalKnown, 0));
    EXPECT_EQ(recorder_.events.back(), std::make_pair(Listener::kRequestComplete, 0));

    recorder_.events.clear();
    list_.showPage(3);
    EXPECT_EQ(list_.status(), "Searching...");
    EXPECT_EQ(recorder_.events.at(1), std::make_pair(Listener::kStatusChanged, 3));
    finish();
    const std::string page3 = bodies_.items().at(1);
    EXPECT_NE(page3.find("<in1>10</in1>\n<in2>30</in2>\n"), std::string::npos) << page3;
    EXPECT_EQ(list_.result(30)->symbol(), "S30");
    EXPECT_EQ(list_.result(31)->symbol(), "S31");
    EXPECT_EQ(list_.result(32), nullptr);
    EXPECT_EQ(list_.result(0)->symbol(), "Gad1");
    EXPECT_EQ(list_.statusText(), "     42 experiments, displaying 31-40");
}

TEST_F(GeneQueryNet, ImageSeriesAndSimilarSearchesSendTheirParameters) {
    list_.searchImageSeries(url_, 14415, "Gad1 (all)", "0310");
    EXPECT_FALSE(list_.geneResults());
    finish();
    EXPECT_EQ(bodies_.items().at(0), std::string(kBodyStart) +
                                         "<getImageSeriesList xmlns=\"urn:volumira:GeneSearchService\">\n"
                                         "<in0>14415</in0>\n"
                                         "<in1>0310</in1>\n"
                                         "</getImageSeriesList>\n"
                                         "</soap:Body></soap:Envelope>\n");
    EXPECT_EQ(list_.size(), 3);
    EXPECT_EQ(list_.result(2)->imageSeriesId(), 1002);

    list_.searchSimilar(url_, 79, 688, "Like Gad1", "0310", 3, 0);
    EXPECT_TRUE(list_.geneResults());
    finish();
    EXPECT_EQ(bodies_.items().at(1), std::string(kBodyStart) +
                                         "<getCorrana1 xmlns=\"urn:volumira:GeneSearchService\">\n"
                                         "<in0>10</in0>\n"
                                         "<in1>0</in1>\n"
                                         "<in2>0310</in2>\n"
                                         "<in3>688</in3>\n"
                                         "<in4>79</in4>\n"
                                         "<in5>3</in5>\n"
                                         "</getCorrana1>\n"
                                         "</soap:Body></soap:Envelope>\n");
    EXPECT_EQ(list_.size(), 25);
    EXPECT_EQ(list_.pageCount(), 3);
    EXPECT_FLOAT_EQ(list_.result(0)->score(), 0.9f);
    // A new search forgets the other searches' arguments: an anatomic text search asks getGeneList1.
    list_.searchText(url_, "structac=CTX[xlevel=2]", "CTX", "", true);
    finish();
    const std::string anatomic = bodies_.items().at(2);
    EXPECT_NE(anatomic.find("<in3>anatomic</in3>\n<in4>false</in4>\n<in5 />\n<in6></in6>\n"),
              std::string::npos)
        << anatomic;
}

// How a query on its own ends.
struct QueryOutcome : GeneQueryCompletionListener {
    void queryStarted(GeneQuery*) override { ++started; }
    void queryComplete(GeneQuery*) override { done = true; }
    void queryFailed(GeneQuery*, const std::string& text) override {
        done = true;
        failure = text;
    }
    int started = 0;
    bool done = false;
    std::string failure;
};

TEST_F(GeneQueryNet, AResponseBeyondItsLimitFailsTheQuery) {
    const std::size_t size = test::geneListResponse().size();
    QueryOutcome over;
    GeneQuery query(nullptr, &over);
    query.setMaxResponseBytes(size - 1);
    query.searchText(url_, "Gad1", false);
    ASSERT_TRUE(ui_.runUntil([&] { return over.done; }));
    EXPECT_EQ(over.failure, "Download refused: the server announced " + std::to_string(size) +
                                " bytes, more than the limit of " + std::to_string(size - 1) + " bytes.");
    EXPECT_EQ(over.started, 0);
    EXPECT_FALSE(query.isRunning());
    // The same response within the limit is read.
    QueryOutcome within;
    GeneQuery second(nullptr, &within);
    second.setMaxResponseBytes(size);
    second.searchText(url_, "Gad1", false);
    ASSERT_TRUE(ui_.runUntil([&] { return within.done; }));
    EXPECT_EQ(within.failure, "");
    EXPECT_EQ(within.started, 1);
    EXPECT_GT(second.total(), 0);
}

TEST_F(GeneQueryNet, AFailedRequestShowsTheErrorUntilTheNextRequest) {
    list_.searchText(url_, "fail", "fail", "0310", false);
    finish();
    EXPECT_EQ(list_.status(), "Error: Could not complete request. Server returned error 500");
    EXPECT_EQ(recorder_.events.back(), std::make_pair(Listener::kRequestFailed, 0));
    EXPECT_EQ(list_.size(), 0);
    list_.searchText(url_, "Gad1", "Gad1", "0310", false);
    EXPECT_EQ(list_.status(), "Searching...");
    finish();
    EXPECT_EQ(list_.status(), "");
}

TEST_F(GeneQueryNet, ANewSearchCancelsTheRunningOne) {
    list_.searchSimilar(url_, 79, 688, "first", "0310", 3, 0);
    list_.searchText(url_, "Gad1", "second", "0310", false);
    finish();
    // Only the second search's records and completion arrive.
    EXPECT_EQ(recorder_.count(Listener::kRequestComplete), 1);
    EXPECT_EQ(list_.size(), 42);
    EXPECT_EQ(list_.result(0)->symbol(), "Gad1");
    EXPECT_EQ(list_.title(), "second");
}

TEST_F(GeneQueryNet, AListenerMayStartANewSearchWhileRecordsArrive) {
    // Starts an image-series search from inside the parsing of the text search's answer.
    struct Restarter : PagedGeneListListener {
        std::string url;
        bool restarted = false;
        void listChanged(int event, PagedGeneList& list, int) override {
            if (event != kResultStored || restarted) return;
            restarted = true;
            list.searchImageSeries(url, 14415, "Gad1 (all)", "0310");
        }
    } restarter;
    restarter.url = url_;
    list_.addListener(&restarter);
    list_.searchText(url_, "Gad1", "Gad1", "0310", false);
    ASSERT_TRUE(ui_.runUntil([&] { return restarter.restarted && !list_.query()->isRunning(); }));
    list_.removeListener(&restarter);
    // Only the image-series search's records remain, and its completion is the one reported.
    EXPECT_EQ(list_.size(), 3);
    EXPECT_EQ(list_.result(0)->symbol(), "S0");
    EXPECT_EQ(list_.result(2)->imageSeriesId(), 1002);
    EXPECT_EQ(list_.title(), "Gad1 (all)");
    EXPECT_FALSE(list_.geneResults());
    EXPECT_EQ(list_.status(), "");
    EXPECT_EQ(bodies_.items().size(), 2u);
}

TEST_F(GeneQueryNet, ImportingAGeneListCancelsTheSearchStillReceiving) {
    test::TempDir dir;
    const std::string path = dir.file("Imported.csv");
    test::writeBytes(path, "symbol,experiment\r\nCalb1,2001\r\nPvalb,2002\r\n");
    list_.searchText(url_, "Gad1", "Gad1", "0310", false);
    list_.loadFile(path);
    // Whatever the cancelled search still had on its way is reported and dropped.
    ui_.runUntil([&] { return !list_.query()->isRunning(); });
    ui_.runUntil([] { return false; }, std::chrono::seconds(1));
    ASSERT_EQ(list_.size(), 2);
    EXPECT_EQ(list_.result(0)->symbol(), "Calb1");
    EXPECT_EQ(list_.result(1)->symbol(), "Pvalb");
    EXPECT_EQ(list_.title(), "Imported.csv");
    EXPECT_EQ(recorder_.count(Listener::kRequestComplete), 0);
}

} // namespace
} // namespace volumira

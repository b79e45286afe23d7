#include "NetTestSupport.h"
#include "net/GeneFetcher.h"

#include <deque>
#include <memory>
#include <utility>

namespace volumira::test {
namespace {

// Records the fetcher's results; like the thumbnail list, it can start the next pending download itself.
class FetchRecorder : public GeneFetchCompletionListener {
  public:
    void fetchComplete(GeneFetcher& fetcher, const std::uint8_t* data, std::size_t length) override {
        events.push_back(std::string("complete ") + fetcher.name() + " " + std::to_string(length));
        bytes.assign(reinterpret_cast<const char*>(data), length);
        stillFetching = fetcher.isFetching();
        startNext(fetcher);
    }
    void fetchFailed(GeneFetcher& fetcher, const std::string& message) override {
        events.push_back(std::string("failed ") + fetcher.name() + " " + message);
        if (cancelOnFailure) fetcher.cancel();
        startNext(fetcher);
    }
    void fetchProgress(GeneFetcher&, float fraction) override { fractions.push_back(fraction); }

    void startNext(GeneFetcher& fetcher) {
        if (fetcher.isFetching() || pending.empty()) return;
        const auto [name, url] = pending.front();
        pending.pop_front();
        fetcher.fetch(name, url, this, 0);
    }
    bool finished(std::size_t count) const { return events.size() >= count; }

    std::vector<std::string> events;
    std::vector<float> fractions;
    std::string bytes;
    std::deque<std::pair<std::string, std::string>> pending;
    bool cancelOnFailure = true;
    bool stillFetching = true;
};

std::string gridBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 253);
    return bytes;
}

class GeneFetcherTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        const std::string body = gridBytes(10000);
        server.route(
            "/GridFile",
            reply(response("200 OK", {"Content-Type: application/octet-stream", "Content-Length: 10000"},
                           body)));
        server.route("/unsized", reply(response("200 OK", {"Content-Type: application/octet-stream"}, body)));
        server.route("/missing", reply(response("404 Not Found", {"Content-Type: text/plain"}, "")));
        server.route("/slow", [](const HttpRequest&, Connection& connection) {
            connection.send(
                response("200 OK", {"Content-Type: application/octet-stream", "Content-Length: 8"}, "abcd"));
            connection.waitFor("slow");
            connection.send("efgh");
        });
    }
};

TEST_F(GeneFetcherTest, DeliversTheWholeFileWithRisingProgress) {
    GeneFetcher fetcher;
    FetchRecorder recorder;
    fetcher.fetch("Pvalb", server.url("/GridFile?geneid=3&project=0310&level=1"), &recorder, 0);
    EXPECT_TRUE(fetcher.isFetching());
    EXPECT_STREQ(fetcher.name(), "Pvalb");
    ASSERT_TRUE(pumpUntil([&] { return recorder.finished(1); }));
    EXPECT_EQ(recorder.events, std::vector<std::string>{"complete Pvalb 10000"});
    EXPECT_EQ(recorder.bytes, gridBytes(10000));
    EXPECT_FALSE(recorder.stillFetching);
    EXPECT_FALSE(fetcher.isFetching());
    ASSERT_GE(recorder.fractions.size(), 2u);
    EXPECT_EQ(recorder.fractions.front(), 0.0f);
    for (std::size_t i = 1; i < recorder.fractions.size(); ++i)
        EXPECT_GT(recorder.fractions[i], recorder.fractions[i - 1]);
    EXPECT_FLOAT_EQ(recorder.fractions.back(), 1.0f);
    EXPECT_EQ(fetcher.receivedBytes(), 10000u);
}

TEST_F(GeneFetcherTest, WithoutAnnouncedLengthProgressStaysZeroAndTheFileArrivesWhole) {
    GeneFetcher fetcher;
    FetchRecorder recorder;
    fetcher.fetch("Calb1", server.url("/unsized"), &recorder, 0);
    ASSERT_TRUE(pumpUntil([&] { return recorder.finished(1); }));
    EXPECT_EQ(recorder.events, std::vector<std::string>{"complete Calb1 10000"});
    EXPECT_EQ(recorder.bytes, gridBytes(10000));
    ASSERT_FALSE(recorder.fractions.empty());
    for (float fraction : recorder.fractions)
        EXPECT_EQ(fraction, 0.0f);
    EXPECT_EQ(fetcher.expectedBytes(), 0u);
}

TEST_F(GeneFetcherTest, ASecondFetchCancelsTheFirst) {
    GeneFetcher fetcher;
    FetchRecorder first, second;
    fetcher.fetch("Slow", server.url("/slow"), &first, 0);
    ASSERT_TRUE(pumpUntil([&] { return first.fractions.size() >= 2; }));
    fetcher.fetch("Pvalb", server.url("/GridFile"), &second, 0);
    server.openGate("slow");
    ASSERT_TRUE(pumpUntil([&] { return second.finished(1); }));
    EXPECT_EQ(second.events, std::vector<std::string>{"complete Pvalb 10000"});
    EXPECT_TRUE(first.events.empty());
    EXPECT_EQ(first.fractions, (std::vector<float>{0.0f, 0.5f}));
    EXPECT_TRUE(pumpUntil([&] { return queue().runningCount() == 0; }));
    EXPECT_TRUE(first.events.empty());
}

TEST_F(GeneFetcherTest, AFailureCancelledInItsReportLetsTheNextPendingDownloadStart) {
    GeneFetcher fetcher;
    FetchRecorder recorder;
    recorder.pending = {
        {"Bad", server.url("/missing")}, {"Bad2", "/GridFile?geneid=1"}, {"Good", server.url("/GridFile")}};
    recorder.startNext(fetcher);
    ASSERT_TRUE(pumpUntil([&] { return recorder.finished(3); }));
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"failed Bad Could not complete request. Server returned error 404",
                                        "failed Bad2 Bad URL: /GridFile?geneid=1", "complete Good 10000"}));
    EXPECT_FALSE(fetcher.isFetching());
}

TEST_F(GeneFetcherTest, AFailureNotCancelledStillLeavesTheFetcherIdle) {
    auto fetcher = std::make_unique<GeneFetcher>();
    FetchRecorder recorder;
    recorder.cancelOnFailure = false;
    fetcher->fetch("Bad", server.url("/missing"), &recorder, 0);
    ASSERT_TRUE(pumpUntil([&] { return recorder.finished(1); }));
    EXPECT_FALSE(fetcher->isFetching());
    EXPECT_STREQ(fetcher->name(), "Bad");
    // Its transfer is gone; neither a new fetch nor the end of the fetcher may touch it.
    fetcher->fetch("Good", server.url("/GridFile"), &recorder, 0);
    ASSERT_TRUE(pumpUntil([&] { return recorder.finished(2); }));
    EXPECT_EQ(recorder.events.back(), "complete Good 10000");
    fetcher.reset();
}

TEST_F(GeneFetcherTest, DestroyingTheFetcherWhileItRunsStopsItsReports) {
    auto fetcher = std::make_unique<GeneFetcher>();
    FetchRecorder recorder;
    fetcher->fetch("Slow", server.url("/slow"), &recorder, 0);
    ASSERT_TRUE(pumpUntil([&] { return recorder.fractions.size() >= 2; }));
    fetcher.reset();
    server.openGate("slow");
    EXPECT_TRUE(pumpUntil([&] { return queue().runningCount() == 0; }));
    dispatcher.pumpPending();
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(recorder.fractions.size(), 2u);
}

TEST(GeneFetcherProgress, NeverPassesOneWhenTheServerSendsMoreThanItAnnounced) {
    GeneFetcher fetcher;
    FetchRecorder recorder;
    fetcher.fetch("Pvalb", "/no-host", &recorder, 7);
    EXPECT_EQ(fetcher.value(), 7);
    // The reports a transfer would make, straight from the test.
    fetcher.headersReceived("application/octet-stream", 4);
    fetcher.dataReceived(nullptr, 3);
    fetcher.dataReceived(nullptr, 5);
    EXPECT_EQ(recorder.fractions, (std::vector<float>{0.0f, 0.75f, 1.0f}));
    fetcher.cancel();
    EXPECT_FALSE(fetcher.isFetching());
    EXPECT_EQ(fetcher.value(), 0);
    EXPECT_STREQ(fetcher.name(), "");
    EXPECT_EQ(fetcher.progress(), 0.0f);
    EXPECT_EQ(fetcher.receivedBytes(), 8u);
    // Its cancelled transfer winds down on its own; leave nothing running behind the test.
    NetworkQueue::instance().waitForThreads();
}

} // namespace
} // namespace volumira::test

// A response larger than its transfer's limit fails with a message instead of growing without bound.
#include "NetTestSupport.h"
#include "net/NetFile.h"

#include <numeric>

namespace volumira::test {
namespace {

constexpr std::uint64_t kLimit = 10000;

class TransferLimit : public NetTest {
  protected:
    // Runs one transfer of path with the test limit to its final report.
    RecordingListener fetch(const std::string& path, bool keepData) {
        RecordingListener listener;
        const TransferHandle transfer = openUrl(server.url(path), &listener, keepData, kLimit);
        EXPECT_TRUE(pumpUntilFinished(listener));
        return listener;
    }
    static std::size_t total(const RecordingListener& listener) {
        return std::accumulate(listener.chunkSizes.begin(), listener.chunkSizes.end(), std::size_t{0});
    }
};

TEST_F(TransferLimit, AnAnnouncedLengthBeyondTheLimitIsRefusedBeforeTheBody) {
    server.route("/announced",
                 reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 10001"},
                                std::string(10001, 'x'))));
    for (const bool keepData : {true, false}) {
        const RecordingListener listener = fetch("/announced", keepData);
        EXPECT_EQ(listener.events,
                  std::vector<std::string>{"failed Download refused: the server announced 10001 bytes, more "
                                           "than the limit of 10000 bytes."});
    }
}

TEST_F(TransferLimit, ABodyThatGrowsBeyondTheLimitStopsAtIt) {
    // No length announced: cut at the limit.
    server.route("/unannounced",
                 reply(response("200 OK", {"Content-Type: text/plain"}, std::string(50000, 'y'))));
    server.route("/lying", reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 100"},
                                          std::string(50000, 'z'))));
    for (const bool keepData : {true, false}) {
        const RecordingListener listener = fetch("/unannounced", keepData);
        ASSERT_FALSE(listener.events.empty());
        EXPECT_EQ(listener.events.back(),
                  "failed Download stopped: the response is larger than the limit of 10000 bytes.");
        EXPECT_LE(total(listener), kLimit);
        EXPECT_LE(listener.streamed.size(), kLimit);
    }
    // A server that sends more than it announced is stopped by the announced length already.
    const RecordingListener lying = fetch("/lying", true);
    EXPECT_EQ(lying.events.back(), "complete 100");
}

TEST_F(TransferLimit, ABodyOfExactlyTheLimitArrivesWhole) {
    const std::string body(kLimit, 'w');
    server.route("/exact", reply(response("200 OK", {"Content-Type: text/plain"}, body)));
    const RecordingListener kept = fetch("/exact", true);
    EXPECT_EQ(kept.events.back(), "complete " + std::to_string(kLimit));
    EXPECT_EQ(kept.completeData, body);
    const RecordingListener streamed = fetch("/exact", false);
    EXPECT_EQ(streamed.events.back(), "complete 0 null");
    EXPECT_EQ(streamed.streamed, body);
}

} // namespace
} // namespace volumira::test

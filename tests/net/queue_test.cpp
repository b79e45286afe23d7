#include "NetTestSupport.h"
#include "net/NetFile.h"

#include <array>
#include <atomic>
#include <memory>
#include <thread>

namespace volumira::test {
namespace {

// Each /slow/N answers its headers and a first chunk, then stalls until gate N opens.
class QueueTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        server.route("/slow", [](const HttpRequest& request, Connection& connection) {
            connection.send(response("200 OK", {"Content-Type: text/plain", "Content-Length: 8"}, "abcd"));
            connection.waitFor(request.target.substr(request.target.find('?') + 1));
            connection.send("efgh");
        });
    }
    TransferHandle openSlow(int n, RecordingListener& listener) {
        return openUrl(server.url("/slow?" + std::to_string(n)), &listener, true);
    }
    bool serverSaw(std::size_t count) {
        return pumpUntil([&] { return server.requests().size() >= count; });
    }
    // The queue outlives the test: whatever a test left of the failing starts must not reach the next.
    void TearDown() override { queue().failThreadStartsForTesting(0); }
};

// How the body splits into chunks depends on timing; the reports around it do not.
void expectWholeSlowBody(const RecordingListener& listener) {
    ASSERT_GE(listener.events.size(), 3u);
    EXPECT_EQ(listener.events.front(), "headers text/plain 8");
    EXPECT_EQ(listener.events.back(), "complete 8");
    EXPECT_EQ(listener.completeData, "abcdefgh");
}

TEST_F(QueueTest, SevenTransfersRunFiveAtATimeAndTheRestInArrivalOrder) {
    std::array<RecordingListener, 7> listeners;
    std::array<TransferHandle, 7> files;
    for (int i = 0; i < 7; ++i)
        files[i] = openSlow(i, listeners[i]);
    EXPECT_EQ(queue().runningCount(), 5u);
    EXPECT_EQ(queue().waitingCount(), 2u);
    ASSERT_TRUE(serverSaw(5));

    server.openGate("2");
    ASSERT_TRUE(pumpUntilFinished(listeners[2]));
    ASSERT_TRUE(serverSaw(6));
    EXPECT_EQ(server.paths().size(), 6u);
    EXPECT_EQ(server.requests()[5].target, "/slow?5");
    EXPECT_EQ(queue().waitingCount(), 1u);

    server.openGate("0");
    ASSERT_TRUE(pumpUntilFinished(listeners[0]));
    ASSERT_TRUE(serverSaw(7));
    EXPECT_EQ(server.requests()[6].target, "/slow?6");

    for (const char* gate : {"1", "3", "4", "5", "6"})
        server.openGate(gate);
    ASSERT_TRUE(pumpUntil([&] {
        for (const RecordingListener& l : listeners)
            if (!l.finished) return false;
        return true;
    }));
    for (const RecordingListener& l : listeners)
        expectWholeSlowBody(l);
    // The last thread leaves the queue just after its final report.
    EXPECT_TRUE(pumpUntil([&] { return queue().runningCount() == 0; }));
}

TEST_F(QueueTest, CancelledWaitingTransferNeverConnectsNorReports) {
    std::array<RecordingListener, 7> listeners;
    std::array<TransferHandle, 7> files;
    for (int i = 0; i < 7; ++i)
        files[i] = openSlow(i, listeners[i]);
    files[5].cancel();
    // A second cancel, by the call or by the handle's end, changes nothing.
    files[5].cancel();
    EXPECT_EQ(queue().waitingCount(), 1u);
    for (int i = 0; i < 7; ++i)
        server.openGate(std::to_string(i));
    ASSERT_TRUE(pumpUntil([&] {
        for (int i = 0; i < 7; ++i)
            if (i != 5 && !listeners[i].finished) return false;
        return true;
    }));
    EXPECT_TRUE(listeners[5].events.empty());
    for (const std::string& path : server.paths())
        EXPECT_EQ(path, "/slow");
    EXPECT_EQ(server.requests().size(), 6u);
    for (const HttpRequest& request : server.requests())
        EXPECT_NE(request.target, "/slow?5");
}

TEST_F(QueueTest, CancelledRunningTransferFreesItsPlaceAndDropsAReportAlreadyOnItsWay) {
    std::array<RecordingListener, 6> listeners;
    std::array<TransferHandle, 6> files;
    for (int i = 0; i < 6; ++i)
        files[i] = openSlow(i, listeners[i]);
    ASSERT_TRUE(server.waitForRequests(5, kPatience));
    // Nothing has been pumped yet: all five running transfers have their headers report waiting for the UI
    // thread.
    ASSERT_TRUE(dispatcher.waitForCalls(5, kPatience));

    files[0].cancel();
    EXPECT_EQ(queue().runningCount(), 5u);
    EXPECT_EQ(queue().waitingCount(), 0u);
    ASSERT_TRUE(serverSaw(6));
    EXPECT_EQ(server.requests()[5].target, "/slow?5");

    for (int i = 0; i < 6; ++i)
        server.openGate(std::to_string(i));
    ASSERT_TRUE(pumpUntil([&] {
        for (int i = 1; i < 6; ++i)
            if (!listeners[i].finished) return false;
        return true;
    }));
    EXPECT_TRUE(listeners[0].events.empty());
    for (int i = 1; i < 6; ++i)
        expectWholeSlowBody(listeners[i]);
}

// A waiting transfer whose thread cannot be created when its turn comes fails; it does not stay first in
// line, blocking those behind it. Here the place is freed by a transfer that ends.
TEST_F(QueueTest, WaitingTransferWithoutAThreadFailsAndTheNextOneStarts) {
    std::array<RecordingListener, 7> listeners;
    std::array<TransferHandle, 7> files;
    for (int i = 0; i < 7; ++i)
        files[i] = openSlow(i, listeners[i]);
    ASSERT_TRUE(serverSaw(5));
    queue().failThreadStartsForTesting(1);

    server.openGate("0");
    ASSERT_TRUE(pumpUntil([&] { return listeners[0].finished && listeners[5].finished; }));
    EXPECT_EQ(listeners[5].events, std::vector<std::string>{"failed Could not connect to server."});
    ASSERT_TRUE(serverSaw(6));
    EXPECT_EQ(server.requests()[5].target, "/slow?6");
    EXPECT_EQ(queue().waitingCount(), 0u);

    for (const char* gate : {"1", "2", "3", "4", "6"})
        server.openGate(gate);
    ASSERT_TRUE(pumpUntil([&] {
        for (const RecordingListener& l : listeners)
            if (!l.finished) return false;
        return true;
    }));
    for (int i = 0; i < 7; ++i)
        if (i != 5) expectWholeSlowBody(listeners[i]);
    EXPECT_EQ(server.requests().size(), 6u);
    EXPECT_TRUE(pumpUntil([&] { return queue().runningCount() == 0; }));
}

// Cancelling a running transfer on the UI thread frees a place that no thread can take: every waiting
// transfer fails, reported by the cancelled transfer's thread as it winds down, and those still running
// finish as usual. A failure that was cancelled meanwhile is never heard.
TEST_F(QueueTest, PlaceFreedByCancellingThatNoThreadCanTakeFailsTheWaitingTransfers) {
    std::array<RecordingListener, 7> listeners;
    std::array<TransferHandle, 7> files;
    for (int i = 0; i < 7; ++i)
        files[i] = openSlow(i, listeners[i]);
    ASSERT_TRUE(serverSaw(5));
    queue().failThreadStartsForTesting(100);

    files[0].cancel();
    // What the first transfer reported before it was cancelled stays all it reports.
    const std::vector<std::string> heardBeforeCancel = listeners[0].events;
    EXPECT_EQ(queue().waitingCount(), 0u);
    EXPECT_EQ(queue().runningCount(), 4u);
    files[6].cancel();
    ASSERT_TRUE(pumpUntilFinished(listeners[5]));
    EXPECT_EQ(listeners[5].events, std::vector<std::string>{"failed Could not connect to server."});

    queue().failThreadStartsForTesting(0);
    for (int i = 0; i < 7; ++i)
        server.openGate(std::to_string(i));
    ASSERT_TRUE(pumpUntil([&] {
        for (int i = 1; i < 5; ++i)
            if (!listeners[i].finished) return false;
        return true;
    }));
    for (int i = 1; i < 5; ++i)
        expectWholeSlowBody(listeners[i]);
    EXPECT_TRUE(pumpUntil([&] { return queue().runningCount() == 0; }));
    // Once every thread has ended, the cancelled one included, whatever it had to report has been handed
    // over. The wait runs beside the pumping: an ending thread may need the UI thread to take a report.
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread waiter([ended] {
        NetworkQueue::instance().waitForThreads();
        *ended = true;
    });
    const bool allEnded = pumpUntil([&] { return ended->load(); });
    allEnded ? waiter.join() : waiter.detach();
    ASSERT_TRUE(allEnded);
    EXPECT_EQ(listeners[0].events, heardBeforeCancel);
    EXPECT_TRUE(listeners[6].events.empty());
    EXPECT_EQ(server.requests().size(), 5u);
}

TEST_F(QueueTest, CancellingInsideTheFinalReportIsAllowed) {
    server.route("/missing", reply(response("404 Not Found", {"Content-Type: text/plain"}, "")));
    RecordingListener failing, completing;
    TransferHandle failed = openUrl(server.url("/missing"), &failing, true);
    failing.onFinal = [&] { failed.cancel(); };
    TransferHandle completed = openSlow(1, completing);
    completing.onFinal = [&] { completed.cancel(); };
    server.openGate("1");
    ASSERT_TRUE(pumpUntil([&] { return failing.finished && completing.finished; }));
    EXPECT_EQ(failing.events,
              std::vector<std::string>{"failed Could not complete request. Server returned error 404"});
    expectWholeSlowBody(completing);
}

TEST_F(QueueTest, ShutdownWithTransfersInFlightEndsThemAllSilently) {
    std::array<RecordingListener, 7> listeners;
    std::array<TransferHandle, 7> files;
    for (int i = 0; i < 7; ++i)
        files[i] = openSlow(i, listeners[i]);
    ASSERT_TRUE(dispatcher.waitForCalls(5, kPatience));
    // Let one transfer reach its stall, the others stay blocked handing over their headers.
    dispatcher.pumpPending();
    queue().shutdown();
    EXPECT_EQ(queue().runningCount(), 0u);
    EXPECT_EQ(queue().waitingCount(), 0u);
    EXPECT_EQ(dispatcher.pumpPending(), 0u);
    for (int i = 0; i < 7; ++i)
        server.openGate(std::to_string(i));
    for (const RecordingListener& l : listeners)
        EXPECT_FALSE(l.finished);
    EXPECT_LE(server.requests().size(), 5u);
    // Their owners let go only now, after the queue refused and ended them: harmless.
    for (TransferHandle& file : files)
        file.cancel();
    for (const RecordingListener& l : listeners)
        EXPECT_FALSE(l.finished);
}

TEST(TransferWithoutDispatcher, EndsSilentlyAndIsFreedByItsOwner) {
    ASSERT_EQ(uiDispatcher(), nullptr);
    FaultServer server;
    server.route("/x", reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 2"}, "ok")));
    RecordingListener listener;
    TransferHandle file = openUrl(server.url("/x"), &listener, true);
    ASSERT_TRUE(server.waitForRequests(1, kPatience));
    // Its thread ends by itself; having delivered nothing, it leaves the handle to its owner.
    NetworkQueue::instance().waitForThreads();
    EXPECT_EQ(NetworkQueue::instance().runningCount(), 0u);
    EXPECT_TRUE(listener.events.empty());
    file.cancel();
    EXPECT_FALSE(file);
}

} // namespace
} // namespace volumira::test

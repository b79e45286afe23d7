// Owners that flip pages, drop their transfers mid-download and outlive a stopped server or a shut-down queue.
// Run under ThreadSanitizer and AddressSanitizer as well: a report to a freed owner, a cancel that touches a
// freed transfer or an unguarded hand-over shows up there.
#include "NetTestSupport.h"
#include "net/NetFile.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace volumira::test {
namespace {

constexpr std::size_t kBodySize = 4 * 4096;

// The body of each grid: four chunks of distinct letters.
std::string gridBody() {
    std::string body;
    for (char c : {'a', 'b', 'c', 'd'})
        body += std::string(4096, c);
    return body;
}

// Sends the headers and the body a chunk at a time; stops when the peer has gone.
void serveGrid(const HttpRequest&, Connection& connection) {
    const std::string body = gridBody();
    if (!connection.send(response("200 OK",
                                  {"Content-Type: application/octet-stream",
                                   "Content-Length: " + std::to_string(kBodySize)},
                                  "")))
        return;
    for (std::size_t at = 0; at < body.size(); at += 4096)
        if (!connection.send(body.substr(at, 4096))) return;
}

// One thumbnail's download: the listener owns its transfer, as a thumbnail slot does. Checks the order of its
// own reports and that none arrives once it has let go.
struct Load : NetEventListener {
    void transferComplete(const std::uint8_t* data, std::size_t length) override {
        note();
        if (finals++ > 0 || (length > 0 && !data)) ++faults;
        if (data) bytes.assign(reinterpret_cast<const char*>(data), length);
        completed = true;
        // The final report: the owner lets go here, as the slots do.
        transfer.cancel();
        finish();
    }
    void transferFailed(const std::string& text) override {
        note();
        if (finals++ > 0) ++faults;
        message = text;
        transfer.cancel();
        finish();
    }
    void headersReceived(const std::string&, std::uint64_t) override {
        note();
        if (headers++ > 0 || finals > 0) ++faults;
    }
    void dataReceived(const std::uint8_t*, std::size_t) override {
        note();
        if (headers == 0 || finals > 0) ++faults;
    }
    // Runs a copy: the call may destroy this load.
    void finish() {
        const std::function<void()> call = onFinal;
        if (call) call();
    }
    // A report after the owner let go, or out of order.
    void note() {
        if (droppedByOwner) ++faults;
    }
    void drop() {
        droppedByOwner = true;
        transfer.cancel();
    }
    bool finished() const { return finals > 0; }

    int headers = 0, finals = 0, faults = 0;
    bool completed = false, droppedByOwner = false;
    std::string bytes, message;
    std::function<void()> onFinal;
    // Last, so that it is cancelled before the rest of the load goes.
    TransferHandle transfer;
};

class TransferStress : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        server.route("/grid", serveGrid);
    }
    std::unique_ptr<Load> open(FaultServer& at, int n) {
        auto load = std::make_unique<Load>();
        load->transfer = openUrl(at.url("/grid?" + std::to_string(n)), load.get(), true);
        return load;
    }
    // Loads let go of but kept, so that a report reaching them afterwards is counted rather than undefined.
    int faultsOf(const std::vector<std::unique_ptr<Load>>& loads) {
        int faults = 0;
        for (const auto& load : loads)
            faults += load ? load->faults : 0;
        return faults;
    }
    bool queueIdle() {
        return pumpUntil([&] { return queue().runningCount() == 0 && queue().waitingCount() == 0; });
    }
};

TEST_F(TransferStress, FlippingAPageAHundredTimesWhileItsThumbnailsLoad) {
    std::array<std::unique_ptr<Load>, 10> page;
    std::vector<std::unique_ptr<Load>> kept;
    int n = 0;
    for (int flip = 0; flip < 100; ++flip) {
        for (std::size_t slot = 0; slot < page.size(); ++slot) {
            if (page[slot]) {
                // Half the owners go away with their download; the others let go and stay to be watched.
                if ((flip + slot) % 2 == 0) {
                    page[slot]->drop();
                    kept.push_back(std::move(page[slot]));
                } else {
                    page[slot].reset();
                }
            }
            page[slot] = open(server, n++);
            // Some owners are destroyed from inside their own final report.
            if (slot % 3 == 0) page[slot]->onFinal = [&page, slot] { page[slot].reset(); };
        }
        // Vary what the UI thread lets through between flips: nothing, what waits, or one hand-over at least.
        if (flip % 3 == 1) dispatcher.pumpPending();
        if (flip % 3 == 2 && dispatcher.waitForCalls(1, kPatience)) dispatcher.pumpPending();
        // Cancelling twice, by hand and by the owner's end, is harmless.
        if (flip % 5 == 0 && page[flip % 10]) page[flip % 10]->transfer.cancel();
    }
    // The last page loads to its end; owners that let go inside their final report are gone by then.
    for (auto& load : page)
        if (load) load->onFinal = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& load : page)
            if (load && load->transfer) return false;
        return true;
    }));
    const std::string expected = gridBody();
    for (std::size_t slot = 0; slot < page.size(); ++slot) {
        // Owners that let go inside their final report are gone.
        if (!page[slot]) continue;
        ASSERT_TRUE(page[slot]->finished());
        EXPECT_TRUE(page[slot]->completed) << page[slot]->message;
        EXPECT_EQ(page[slot]->bytes, expected);
        EXPECT_EQ(page[slot]->faults, 0);
    }
    EXPECT_EQ(faultsOf(kept), 0);
    EXPECT_TRUE(queueIdle());
}

TEST_F(TransferStress, TheLastPageArrivesWhole) {
    std::array<std::unique_ptr<Load>, 10> page;
    int n = 0;
    // Flip without letting anything through, then keep the last page.
    for (int flip = 0; flip < 20; ++flip)
        for (auto& load : page)
            load = open(server, n++);
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& load : page)
            if (!load->finished()) return false;
        return true;
    }));
    for (const auto& load : page) {
        EXPECT_TRUE(load->completed) << load->message;
        EXPECT_EQ(load->bytes, gridBody());
        EXPECT_EQ(load->faults, 0);
    }
    EXPECT_TRUE(queueIdle());
}

TEST_F(TransferStress, AServerStoppedMidPageFailsWhatItHeld) {
    for (int round = 0; round < 5; ++round) {
        auto stopping = std::make_unique<FaultServer>();
        // Headers and a first chunk, then a stall that only the server's end releases.
        stopping->route("/grid", [](const HttpRequest&, Connection& connection) {
            if (!connection.send(response("200 OK",
                                          {"Content-Type: application/octet-stream",
                                           "Content-Length: " + std::to_string(kBodySize)},
                                          std::string(4096, 'a'))))
                return;
            connection.waitFor("never");
        });
        std::array<std::unique_ptr<Load>, 10> page;
        for (int slot = 0; slot < 10; ++slot)
            page[slot] = open(*stopping, slot);
        ASSERT_TRUE(stopping->waitForRequests(5, kPatience));
        // Let some reports through, leave others blocked in their hand-over.
        if (round % 2 == 0) dispatcher.pumpPending();
        stopping.reset();
        // One owner goes away with the server.
        page[round].reset();
        ASSERT_TRUE(pumpUntil([&] {
            for (const auto& load : page)
                if (load && !load->finished()) return false;
            return true;
        }));
        for (const auto& load : page) {
            if (!load) continue;
            EXPECT_FALSE(load->completed);
            EXPECT_FALSE(load->message.empty());
            EXPECT_EQ(load->finals, 1);
            EXPECT_EQ(load->faults, 0);
        }
        EXPECT_TRUE(queueIdle());
    }
}

TEST_F(TransferStress, OwnersLetGoAfterTheQueueShutDownInTheMiddleOfHandOvers) {
    for (int round = 0; round < 10; ++round) {
        std::array<std::unique_ptr<Load>, 10> page;
        {
            HeadlessUiDispatcher ui;
            setUiDispatcher(&ui);
            for (int slot = 0; slot < 10; ++slot)
                page[slot] = open(server, round * 10 + slot);
            // Five transfers wait in their first hand-over; some owners cancel before the shutdown.
            ASSERT_TRUE(ui.waitForCalls(5, kPatience));
            if (round % 2 == 1) ui.pumpPending();
            page[round]->transfer.cancel();
            // The dispatcher's end shuts the queue down: every transfer cancelled, every report refused and
            // every thread waited for.
        }
        EXPECT_EQ(uiDispatcher(), nullptr);
        EXPECT_EQ(queue().runningCount(), 0u);
        EXPECT_EQ(queue().waitingCount(), 0u);
        // The owners let go only now: cancelling again and freeing must touch nothing that is gone.
        for (auto& load : page) {
            load->transfer.cancel();
            EXPECT_EQ(load->faults, 0);
            load.reset();
        }
        setUiDispatcher(&dispatcher);
    }
}

} // namespace
} // namespace volumira::test

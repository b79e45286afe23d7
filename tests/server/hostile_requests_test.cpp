// Requests from a hostile or broken client: paths that try to leave the served namespace, bodies too large
// or without end, lying lengths, malformed XML, and clients that send a byte a second while others are
// served.

#include "RawConnection.h"
#include "ServerFixture.h"
#include "sample-data/GeneData.h"
#include "volumira-server/Catalogue.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <memory>
#include <vector>

namespace volumira::test {

namespace {

using namespace std::chrono_literals;

class HostileRequestTest : public ServerTest {
  protected:
    static std::string getRaw(const std::string& target) {
        RawConnection connection(port());
        EXPECT_TRUE(connection.isOpen());
        connection.send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        bool timedOut = false;
        const std::string answer = connection.receive(10s, &timedOut);
        EXPECT_FALSE(timedOut) << "no answer to " << target.substr(0, 200);
        return answer;
    }

    // The server still answers an ordinary request.
    static void expectServing() {
        const auto result = get("/Volumira/versions.xml");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
    }
};

TEST_F(HostileRequestTest, PathsOutsideTheServedNamespaceAreRefused) {
    const server::Catalogue catalogue(dataFile(sample::kCatalogueFileName));
    const std::string gridPath = catalogue.genes().front().series.front()->gridPath;
    const std::string longName(100000, 'a');
    const std::vector<std::string> targets = {
        "/GridFile/../../../../etc/passwd",
        "/GridFile/..%2F..%2F..%2F..%2Fetc%2Fpasswd&level=0",
        "/GridFile/%2Fetc%2Fpasswd&level=0",
        "/GridFile//etc/passwd",
        "/GridFile/a%00b&level=0",
        "/GridFile?imageseriesid=1%00&level=0",
        "/GridFile?imageseriesid=../1",
        "/pyramid/../../etc/ImageProperties.xml",
        "/pyramid/%2e%2e/%2e%2e/etc/ImageProperties.xml",
        "/pyramid/..%2f..%2fCatalogue.db/ImageProperties.xml",
        "/pyramid//etc/passwd/TileGroup0/0-0-0.jpg",
        "/pyramid/%00/TileGroup0/0-0-0.jpg",
        "/Catalogue.db",
        "/../Catalogue.db",
        "/%2e%2e/Catalogue.db",
        "/Volumira/../Catalogue.db",
        "/Volumira/%2e%2e%2fCatalogue.db",
        "/Volumira/SearchDomains.xml/../../GLM.db",
        "/ontology.csv",
        "http://example.org/../../etc/passwd",
        "/GridFile/" + longName,
        "/pyramid/" + longName + "/ImageProperties.xml",
    };
    for (const std::string& target : targets) {
        SCOPED_TRACE(target.substr(0, 120));
        const std::string answer = getRaw(target);
        // Refused with an error status, or the connection closed without an answer.
        const int status = statusOf(answer);
        EXPECT_TRUE(answer.empty() || (status >= 400 && status < 600)) << answer.substr(0, 200);
        EXPECT_EQ(answer.find("SQLite format"), std::string::npos);
        EXPECT_EQ(answer.find("root:"), std::string::npos);
    }
    // A real file's path with a detour is not that file.
    EXPECT_EQ(statusOf(getRaw("/GridFile/" + gridPath + "&level=0")), 200);
    EXPECT_EQ(statusOf(getRaw("/GridFile/x/../" + gridPath + "&level=0")), 404);
    EXPECT_EQ(statusOf(getRaw("/GridFile/" + gridPath + "/../" + gridPath + "&level=0")), 404);
    expectServing();
}

TEST_F(HostileRequestTest, BodiesTooLargeOrWithoutEndAreRefusedInBoundedTime) {
    const std::string head = "POST /services/GeneSearchService HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Content-Type: text/xml\r\n";
    {
        // Announced too large: refused before the body is read.
        RawConnection connection(port());
        connection.send(head + "Content-Length: 100000000\r\n\r\n" + std::string(1000, '<'));
        bool timedOut = false;
        EXPECT_EQ(statusOf(connection.receive(2s, &timedOut)), 413);
    }
    {
        // Chunks without end: the server stops it before it has taken more than a few megabytes.
        RawConnection connection(port());
        connection.send(head + "Transfer-Encoding: chunked\r\n\r\n");
        const std::string chunk = "10000\r\n" + std::string(0x10000, 'x') + "\r\n";
        std::size_t sent = 0;
        while (sent < (64u << 20) && connection.send(chunk)) sent += chunk.size();
        EXPECT_LT(sent, 64u << 20) << "the server took 64 MiB of body";
        const std::string answer = connection.receive(10s);
        EXPECT_TRUE(answer.empty() || statusOf(answer) == 413) << answer.substr(0, 200);
        std::cout << "[ server ] an endless chunked body was cut off after " << (sent >> 10) << " KiB\n";
    }
    {
        // A length that lies: the server gives up when the body stops coming.
        RawConnection connection(port());
        connection.send(head + "Content-Length: 1000\r\n\r\n<soap:Envelope>");
        const auto start = std::chrono::steady_clock::now();
        bool timedOut = false;
        const std::string answer = connection.receive(30s, &timedOut);
        EXPECT_FALSE(timedOut);
        EXPECT_TRUE(answer.empty() || statusOf(answer) >= 400) << answer.substr(0, 200);
        std::cout << "[ server ] a body that stopped coming was given up after "
                  << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n";
    }
    expectServing();
}

TEST_F(HostileRequestTest, MalformedXmlIsAFault) {
    httplib::Client client("127.0.0.1", port());
    for (const std::string& body : {std::string("<soap:Envelope><soap:Body><getGeneList1"), std::string("\0\0\0", 3),
                                   std::string("<a>") + std::string(100000, '<'), std::string()}) {
        const auto result = client.Post("/services/GeneSearchService", body, "text/xml");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 500);
        EXPECT_NE(result->body.find("faultstring"), std::string::npos) << result->body;
    }
    expectServing();
}

// 64 clients each send a request a byte a second; ordinary requests meanwhile are all answered.
TEST_F(HostileRequestTest, ClientsSendingAByteASecondHoldUpNobodyElse) {
    constexpr int kSlowClients = 64, kOrdinary = 10;
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (int i = 0; i < kSlowClients; ++i) slow.push_back(std::make_unique<RawConnection>(port()));
    const std::string request = "GET /Volumira/versions.xml HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        for (std::size_t at = 0; !stop && at < request.size() - 2; ++at) {
            for (auto& connection : slow) connection->send(request.substr(at, 1));
            for (int i = 0; i < 10 && !stop; ++i) std::this_thread::sleep_for(100ms);
        }
    });
    std::this_thread::sleep_for(1500ms); // every slow client has begun
    std::vector<double> seconds;
    for (int i = 0; i < kOrdinary; ++i) {
        httplib::Client client("127.0.0.1", port());
        client.set_connection_timeout(10, 0);
        client.set_read_timeout(10, 0);
        const auto start = std::chrono::steady_clock::now();
        const auto result = i % 2 ? client.Get("/Volumira/versions.xml")
                                  : client.Get("/Volumira/SearchDomains.xml");
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        EXPECT_TRUE(result && result->status == 200) << "ordinary request " << i << " not answered";
        std::this_thread::sleep_for(300ms);
    }
    stop = true;
    trickle.join();
    std::cout << "[ server ] " << kOrdinary << " ordinary requests beside " << kSlowClients
              << " clients sending a byte a second: slowest answered in "
              << *std::max_element(seconds.begin(), seconds.end()) << " s\n";
    expectServing();
}

} // namespace

} // namespace volumira::test

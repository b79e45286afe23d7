#include "NetTestSupport.h"
#include "net/NetFile.h"
#include "preferences/UserPreferences.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace volumira::test {
namespace {

using Events = std::vector<std::string>;

struct ResponseCase {
    const char* name;
    std::string bytes;
    bool keepData;
    Events expected;
};

class TransferResponses : public NetTest {};

TEST_F(TransferResponses, EachResponseGivesItsReports) {
    const std::vector<ResponseCase> cases = {
        {"streamed",
         response("200 OK", {"Content-Type: text/plain", "Content-Length: 5"}, "hello"),
         false,
         {"headers text/plain 5", "data 5", "complete 0 null"}},
        {"kept",
         response("200 OK", {"Content-Type: text/plain", "Content-Length: 5"}, "hello"),
         true,
         {"headers text/plain 5", "data 5 null", "complete 5"}},
        {"not found",
         response("404 Not Found", {"Content-Type: text/html", "Content-Length: 4"}, "gone"),
         true,
         {"failed Could not complete request. Server returned error 404"}},
        {"server error",
         response("500 Internal Server Error", {"Content-Type: text/html"}, "oops"),
         false,
         {"failed Could not complete request. Server returned error 500"}},
        {"redirect kept as result",
         response("302 Found", {"Location: /elsewhere", "Content-Type: text/html", "Content-Length: 5"},
                  "moved"),
         true,
         {"headers text/html 5", "data 5 null", "complete 5"}},
        {"no content type",
         response("200 OK", {"Content-Length: 5"}, "hello"),
         true,
         {"failed Could not read expected response headers."}},
        {"no content length",
         response("200 OK", {"Content-Type: application/octet-stream"}, "abcdef"),
         true,
         {"headers application/octet-stream 0", "data 6 null", "complete 6"}},
        {"empty body",
         response("200 OK", {"Content-Type: text/plain", "Content-Length: 0"}, ""),
         true,
         {"headers text/plain 0", "complete 0 null"}},
    };
    for (const ResponseCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = "/case/" + std::string(c.name);
        std::replace(path.begin(), path.end(), ' ', '-');
        server.route(path, reply(c.bytes));
        RecordingListener listener;
        const TransferHandle transfer = openUrl(server.url(path), &listener, c.keepData);
        ASSERT_TRUE(pumpUntilFinished(listener));
        EXPECT_EQ(listener.events, c.expected);
        // The body reaches the listener whole, in the report its mode uses.
        if (listener.events.back().rfind("complete", 0) == 0) {
            const std::string body = c.bytes.substr(c.bytes.find("\r\n\r\n") + 4);
            EXPECT_EQ(c.keepData ? listener.completeData : listener.streamed, body);
        }
    }
    // The redirect was not followed.
    for (const HttpRequest& request : server.requests())
        EXPECT_NE(request.path(), "/elsewhere");
}

TEST_F(TransferResponses, LargeBodyArrivesInChunksOfAtMost4096Bytes) {
    std::string body(10000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 % 251);
    server.route("/big", reply(response("200 OK",
                                        {"Content-Type: application/octet-stream",
                                         "Content-Length: " + std::to_string(body.size())},
                                        body)));
    for (bool keepData : {false, true}) {
        SCOPED_TRACE(keepData ? "kept" : "streamed");
        RecordingListener listener;
        const TransferHandle transfer = openUrl(server.url("/big"), &listener, keepData);
        ASSERT_TRUE(pumpUntilFinished(listener));
        ASSERT_FALSE(listener.chunkSizes.empty());
        std::size_t total = 0;
        for (std::size_t size : listener.chunkSizes) {
            EXPECT_GT(size, 0u);
            EXPECT_LE(size, 4096u);
            total += size;
        }
        EXPECT_EQ(total, body.size());
        EXPECT_EQ(keepData ? listener.completeData : listener.streamed, body);
        EXPECT_EQ(listener.events.front(), "headers application/octet-stream 10000");
    }
}

TEST_F(TransferResponses, BodyCutOffMidwayFailsAfterTheDataThatCame) {
    server.route("/cut", reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 10000"},
                                        std::string(3000, 'x'))));
    RecordingListener listener;
    const TransferHandle transfer = openUrl(server.url("/cut"), &listener, true);
    ASSERT_TRUE(pumpUntilFinished(listener));
    ASSERT_GE(listener.events.size(), 2u);
    EXPECT_EQ(listener.events.front(), "headers text/plain 10000");
    const std::string& last = listener.events.back();
    ASSERT_EQ(last.rfind("failed ", 0), 0u) << last;
    EXPECT_GT(last.size(), std::string("failed ").size());
    std::size_t total = 0;
    for (std::size_t size : listener.chunkSizes)
        total += size;
    EXPECT_EQ(total, 3000u);
}

TEST_F(TransferResponses, ResponseCutOffBeforeItsHeadersEndFailsAlone) {
    server.route("/silent", reply(""));
    server.route("/half", reply("HTTP/1.1 200 OK\r\nContent-Type: text/pl"));
    for (const char* path : {"/silent", "/half"}) {
        SCOPED_TRACE(path);
        RecordingListener listener;
        const TransferHandle transfer = openUrl(server.url(path), &listener, true);
        ASSERT_TRUE(pumpUntilFinished(listener));
        ASSERT_EQ(listener.events.size(), 1u);
        EXPECT_EQ(listener.events.front().rfind("failed ", 0), 0u) << listener.events.front();
        EXPECT_GT(listener.events.front().size(), std::string("failed ").size());
    }
}

// A port on loopback that nobody listens on.
int closedPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(probe);
    return bound ? ntohs(address.sin_port) : 1;
}

TEST_F(TransferResponses, UnusableUrlsFailWithoutLeavingTheMachine) {
    const std::string closedPortUrl = "http://127.0.0.1:" + std::to_string(closedPort()) + "/GridFile";

    const std::vector<std::string> urls = {
        "/GridFile?geneid=12&level=1", "", "not a url at all", closedPortUrl, "file:///etc/hostname",
        "ftp://127.0.0.1:1/file"};
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        RecordingListener listener;
        const TransferHandle transfer = openUrl(url, &listener, true);
        ASSERT_TRUE(pumpUntilFinished(listener));
        ASSERT_EQ(listener.events.size(), 1u);
        const std::string& event = listener.events.front();
        ASSERT_EQ(event.rfind("failed ", 0), 0u) << event;
        // Every failure names its cause; a URL without a host is refused before any connection.
        EXPECT_GT(event.size(), std::string("failed ").size());
        if (url == urls[0] || url == urls[1] || url == urls[2]) {
            EXPECT_EQ(event, "failed Bad URL: " + url);
        }
    }
}

TEST_F(TransferResponses, ServerOnThisMachineIsReachedWithoutTheProxy) {
    server.route("/direct",
                 reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 2"}, "ok")));
    // No transfer thread runs between tests, so the environment can change here.
    const std::string proxy = "http://127.0.0.1:" + std::to_string(closedPort());
    setenv("http_proxy", proxy.c_str(), 1);
    RecordingListener listener;
    const TransferHandle transfer = openUrl(server.url("/direct"), &listener, true);
    const bool finished = pumpUntilFinished(listener);
    unsetenv("http_proxy");
    ASSERT_TRUE(finished);
    EXPECT_EQ(listener.events.back(), "complete 2");
}

TEST_F(TransferResponses, RequestsCarryTheirMethodHeadersAndBody) {
    server.route("/GridFile",
                 reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 2"}, "ok")));
    server.route("/services/GeneSearchService",
                 reply(response("200 OK", {"Content-Type: text/xml", "Content-Length: 2"}, "ok")));
    const std::string soap(3000, 's');
    RecordingListener get, post;
    const TransferHandle getting = openUrl(server.url("/GridFile?geneid=5&project=0310&level=1"), &get, true);
    const TransferHandle posting = postUrl(server.url("/services/GeneSearchService"), soap, &post, true);
    ASSERT_TRUE(pumpUntil([&] { return get.finished && post.finished; }));
    EXPECT_EQ(get.events.back(), "complete 2");
    EXPECT_EQ(post.events.back(), "complete 2");

    const std::string agent = UserPreferences::instance().userAgent();
    for (const HttpRequest& request : server.requests()) {
        EXPECT_EQ(request.headers.at("user-agent"), agent);
        EXPECT_EQ(request.headers.count("expect"), 0u);
        if (request.path() == "/GridFile") {
            EXPECT_EQ(request.method, "GET");
            EXPECT_EQ(request.target, "/GridFile?geneid=5&project=0310&level=1");
            EXPECT_EQ(request.headers.at("accept"), "*/*");
            EXPECT_EQ(request.body, "");
        } else {
            EXPECT_EQ(request.method, "POST");
            EXPECT_EQ(request.headers.at("soapaction"), "\"\"");
            EXPECT_EQ(request.headers.at("content-type"), "text/xml; charset=utf-8");
            EXPECT_EQ(request.body, soap);
        }
    }
    EXPECT_EQ(server.requests().size(), 2u);
}

} // namespace
} // namespace volumira::test

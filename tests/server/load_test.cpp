// The server under load on loopback: 32 clients at once send 20,000 requests of every kind the viewer
// makes; every answer must be the one the server gives a lone client, and its memory must stay bounded.
// Prints requests per second and the 99th-percentile latency. Each request has a connection of its own, as
// the viewer's transfers do: that is what once overflowed the server's listen queue.

#include "ServerFixture.h"
#include "sample-data/GeneData.h"
#include "volumira-server/Catalogue.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iostream>
#include <mutex>

namespace volumira::test {

namespace {

struct Request {
    std::string target, body; // a POST when there is a body
};

std::string soap(const std::string& operation, const std::vector<std::string>& parameters) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<soap:Envelope "
                       "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><" +
                       operation + " xmlns=\"urn:volumira:GeneSearchService\">";
    for (std::size_t i = 0; i < parameters.size(); ++i)
        body += "<in" + std::to_string(i) + ">" + parameters[i] + "</in" + std::to_string(i) + ">";
    return body + "</" + operation + "></soap:Body></soap:Envelope>";
}

httplib::Result send(httplib::Client& client, const Request& request) {
    return request.body.empty()
               ? client.Get(request.target.c_str())
               : client.Post("/services/GeneSearchService", request.body, "text/xml; charset=utf-8");
}

// AddressSanitizer holds freed memory back (256 MiB by default) before reusing it, so under it the
// process grows by that much more however well the server bounds its own memory.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kSanitizerQuarantineKiB = 256 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long kSanitizerQuarantineKiB = 256 * 1024;
#else
constexpr long kSanitizerQuarantineKiB = 0;
#endif
#else
constexpr long kSanitizerQuarantineKiB = 0;
#endif

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

class LoadTest : public ServerTest {};

TEST_F(LoadTest, ThirtyTwoClientsTwentyThousandMixedRequestsAllAnsweredCorrectly) {
    constexpr int kClients = 32, kRequests = 20000;
    const server::Catalogue catalogue(dataFile(sample::kCatalogueFileName));

    // The mix: search pages, grid files of every level, image properties and tiles, the versions file.
    std::vector<Request> mix;
    for (const std::string text : {"Gad", "a", "Calb1", "e"})
        for (const int start : {0, 10, 20})
            mix.push_back({"", soap("getGeneList1", {text, "10", std::to_string(start), "gene", "false", "", "0310"})});
    for (std::size_t g = 0; g < catalogue.genes().size() && g < 12; ++g) {
        const server::SeriesRecord& series = *catalogue.genes()[g].series.front();
        for (const int level : {0, 1, 2})
            mix.push_back({"/GridFile?imageseriesid=" + std::to_string(series.imageSeriesId) +
                           "&level=" + std::to_string(level), ""});
        const std::string image = "/pyramid/" + series.sections.front().primaryPath;
        mix.push_back({image + "/ImageProperties.xml", ""});
        mix.push_back({image + "/TileGroup0/0-0-0.jpg", ""});
        mix.push_back({image + "/TileGroup0/1-0-0.jpg", ""});
    }
    mix.push_back({"/Volumira/versions.xml", ""});
    mix.push_back({"/Volumira/SearchDomains.xml", ""});

    // What a lone client is answered.
    std::vector<std::string> expected;
    {
        httplib::Client client("127.0.0.1", port());
        client.set_read_timeout(60, 0);
        for (const Request& request : mix) {
            const auto result = send(client, request);
            ASSERT_TRUE(result && result->status == 200) << request.target << request.body;
            expected.push_back(result->body);
        }
    }

    const long residentBefore = residentKiB();
    std::atomic<int> next{0}, wrong{0}, failed{0};
    std::mutex latencyMutex;
    std::vector<double> latencies;
    latencies.reserve(kRequests);
    std::vector<std::string> failures;
    long residentPeak = residentBefore;
    std::mutex peakMutex;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&] {
            httplib::Client client("127.0.0.1", port());
            // A connection per request, as the viewer's transfers make them.
            client.set_keep_alive(false);
            client.set_read_timeout(60, 0);
            std::vector<double> mine;
            for (int i; (i = next++) < kRequests;) {
                const std::size_t which = static_cast<std::size_t>(i) * 7919 % mix.size();
                const auto sent = std::chrono::steady_clock::now();
                const auto result = send(client, mix[which]);
                mine.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count());
                if (!result || result->status != 200) {
                    ++failed;
                    std::lock_guard lock(latencyMutex);
                    failures.push_back((result ? "status " + std::to_string(result->status)
                                               : "error " + httplib::to_string(result.error())) +
                                       " for " + mix[which].target +
                                       mix[which].body.substr(std::min<std::size_t>(mix[which].body.size(), 190), 80));
                }
                else if (result->body != expected[which])
                    ++wrong;
                if (i % 1000 == 0) {
                    std::lock_guard lock(peakMutex);
                    residentPeak = std::max(residentPeak, residentKiB());
                }
            }
            std::lock_guard lock(latencyMutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    for (std::thread& client : clients) client.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long residentAfter = residentKiB();

    EXPECT_EQ(failed, 0) << (failures.empty() ? "" : failures.front());
    EXPECT_EQ(wrong, 0);
    ASSERT_EQ(latencies.size(), static_cast<std::size_t>(kRequests));
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies[latencies.size() * 99 / 100];
    std::cout << "[ server ] " << kRequests << " requests from " << kClients << " clients in " << seconds
              << " s: " << kRequests / seconds << " requests/s, p50 " << latencies[latencies.size() / 2] * 1000
              << " ms, p99 " << p99 * 1000 << " ms, max " << latencies.back() * 1000 << " ms; resident memory "
              << residentBefore / 1024 << " MiB before, peak " << std::max(residentPeak, residentAfter) / 1024
              << " MiB, after " << residentAfter / 1024 << " MiB\n";
    // Every answer was cached by the lone client's pass: the load itself must not grow the process much.
    EXPECT_LT(std::max(residentPeak, residentAfter) - residentBefore, 256 * 1024 + kSanitizerQuarantineKiB);
}

} // namespace

} // namespace volumira::test

#include "Harnesses.h"
#include "SampleWorld.h"

#include "volumira-server/AnatomicQuery.h"
#include "volumira-server/Catalogue.h"
#include "volumira-server/DataServer.h"
#include "volumira-server/GeneSearch.h"
#include "volumira-server/GridFiles.h"
#include "volumira-server/Similarity.h"

#include "sample-data/GeneData.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace volumira::fuzz {

namespace {

struct SearchWorld {
    explicit SearchWorld(const SampleWorld& world)
        : catalogue(world.directory + sample::kCatalogueFileName),
          similarity(world.directory + sample::kSimilarityFileName), grids(catalogue, world.ontology),
          search(catalogue, grids, similarity) {}
    server::Catalogue catalogue;
    server::Similarity similarity;
    server::GridFiles grids;
    server::GeneSearch search;
};

// The server of the sample data on a loopback port, serving from its own thread for the whole process.
struct RunningServer {
    explicit RunningServer(const SampleWorld& world) : server(world.directory) {
        port = server.bind("127.0.0.1", 0);
        serving = std::thread([this] { server.serve(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!server.isRunning() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~RunningServer() {
        server.stop();
        serving.join();
    }
    server::DataServer server;
    int port = 0;
    std::thread serving;
};

class Socket {
  public:
    explicit Socket(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Closed with a reset, so that thousands of connections a second leave no local ports waiting.
        const linger reset{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        if (fd_ < 0 || !connected(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address)))
            throw std::logic_error("The data server does not accept connections: " +
                                   std::string(std::strerror(errno)));
    }
    ~Socket() { close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

  private:
    // libFuzzer's timer signal can interrupt connect, which then goes on by itself: wait for its outcome
    // rather than report the interruption as a server refusing connections.
    bool connected(int result) const {
        if (result == 0) return true;
        if (errno != EINTR) return false;
        for (;;) {
            pollfd writable{fd_, POLLOUT, 0};
            const int ready = poll(&writable, 1, 10000);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
            errno = error;
            return error == 0;
        }
    }

    int fd_;
};

// Everything the server sends until it closes the connection; a server that has not finished within
// the limit has hung on this request.
std::string exchange(int port, const std::string& request, std::chrono::seconds limit) {
    const Socket socket(port);
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = send(socket.fd(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // the server may answer and close before reading everything
        sent += static_cast<std::size_t>(n);
    }
    shutdown(socket.fd(), SHUT_WR);
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{socket.fd(), POLLIN, 0};
        if (left.count() <= 0) throw std::logic_error("The data server did not answer in time.");
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        // libFuzzer's timer signal interrupts the wait; that is no answer yet.
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) throw std::logic_error("The data server did not answer in time.");
        char buffer[16384];
        const ssize_t n = recv(socket.fd(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return answer;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace

void soapRequest(Bytes bytes) {
    static SearchWorld world(sampleWorld());
    const std::string request(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    try {
        (void)world.search.answer(request, "http://127.0.0.1:8338");
    } catch (const std::exception&) {
        // The server answers every exception of a handler with an error status.
    }
}

void anatomicQuery(Bytes bytes) {
    try {
        (void)server::parseAnatomicQuery(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const std::invalid_argument&) {
    }
}

void requestPath(Bytes bytes) {
    static RunningServer running(sampleWorld());
    const std::string target(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string answer =
        exchange(running.port, "GET " + target + " HTTP/1.1\r\nHost: fuzz\r\nConnection: close\r\n\r\n",
                 std::chrono::seconds(20));
    // An answer, when there is one, is HTTP; a connection closed without one is the server's refusal.
    if (!answer.empty() && answer.rfind("HTTP/1.1 ", 0) != 0) std::abort();
    if (!running.server.isRunning()) std::abort();
}

} // namespace volumira::fuzz

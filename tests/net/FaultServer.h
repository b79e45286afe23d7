#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace volumira::test {

struct HttpRequest {
    std::string method;
    std::string target;
    // Names in lower case.
    std::map<std::string, std::string> headers;
    std::string body;

    // The target up to the query.
    std::string path() const { return target.substr(0, target.find('?')); }
};

class FaultServer;

// One accepted connection as a handler sees it: raw bytes out, and gates to stall on.
class Connection {
  public:
    Connection(FaultServer& server, int socket) : server_(server), socket_(socket) {}
    // False once the peer has gone.
    bool send(const std::string& bytes);
    // Blocks until the test opens the named gate or the server stops.
    void waitFor(const std::string& gate);

  private:
    FaultServer& server_;
    int socket_;
};

// A tiny HTTP server on 127.0.0.1 whose answers are raw bytes written by handlers, so that tests can send
// broken responses: wrong status, missing headers, cut-off bodies, stalls. It closes each connection after
// its handler returns.
class FaultServer {
  public:
    using Handler = std::function<void(const HttpRequest&, Connection&)>;

    FaultServer();
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    // Handles requests whose path (without query) is path; other paths get a 404.
    void route(const std::string& path, Handler handler);
    std::string url(const std::string& target) const;

    std::vector<HttpRequest> requests() const;
    // Paths of the requests in arrival order.
    std::vector<std::string> paths() const;
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    void openGate(const std::string& gate);

  private:
    friend class Connection;
    void acceptLoop();
    void serve(int socket);

    int listener_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
    std::map<std::string, Handler> routes_;
    std::vector<HttpRequest> requests_;
    std::set<std::string> openGates_;
    bool stopping_ = false;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
};

// A complete response with the given status line tail ("200 OK"), header lines ("Name: value") and body; a
// Content-Length header is added only when listed.
std::string response(const std::string& status, const std::vector<std::string>& headers,
                     const std::string& body);
// A handler that sends the bytes and closes.
FaultServer::Handler reply(std::string bytes);

} // namespace volumira::test

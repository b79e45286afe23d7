#include "FaultServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace volumira::test {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Reads one request; false when the peer sent no complete one.
bool readRequest(int socket, HttpRequest& request) {
    std::string data;
    char buffer[4096];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string head = data.substr(0, headEnd);
    std::size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const std::size_t space = first.find(' ');
    request.method = first.substr(0, space);
    request.target = first.substr(space + 1, first.rfind(' ') - space - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line =
            head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::size_t valueStart = line.find_first_not_of(' ', colon + 1);
        request.headers[lower(line.substr(0, colon))] =
            valueStart == std::string::npos ? "" : line.substr(valueStart);
    }
    request.body = data.substr(headEnd + 4);
    const auto length = request.headers.find("content-length");
    const std::size_t wanted = length == request.headers.end() ? 0 : std::stoul(length->second);
    while (request.body.size() < wanted) {
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        request.body.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool Connection::send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void Connection::waitFor(const std::string& gate) {
    std::unique_lock<std::mutex> lock(server_.mutex_);
    server_.changed_.wait(lock, [&] { return server_.stopping_ || server_.openGates_.count(gate) > 0; });
}

FaultServer::FaultServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread(&FaultServer::acceptLoop, this);
}

FaultServer::~FaultServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    // Wakes the blocked accept().
    shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    close(listener_);
    for (std::thread& worker : workers_)
        worker.join();
}

void FaultServer::acceptLoop() {
    for (;;) {
        const int socket = accept(listener_, nullptr, nullptr);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            if (socket >= 0) close(socket);
            return;
        }
        if (socket < 0) continue;
        workers_.emplace_back(&FaultServer::serve, this, socket);
    }
}

void FaultServer::serve(int socket) {
    HttpRequest request;
    const bool complete = readRequest(socket, request);
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (complete) {
            requests_.push_back(request);
            const auto found = routes_.find(request.path());
            if (found != routes_.end()) handler = found->second;
        }
    }
    changed_.notify_all();
    if (complete) {
        Connection connection(*this, socket);
        if (handler)
            handler(request, connection);
        else
            connection.send(response("404 Not Found", {"Content-Type: text/plain"}, "no such path"));
    }
    shutdown(socket, SHUT_WR);
    close(socket);
}

void FaultServer::route(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(handler);
}

std::string FaultServer::url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::vector<HttpRequest> FaultServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> FaultServer::paths() const {
    std::vector<std::string> paths;
    for (const HttpRequest& request : requests())
        paths.push_back(request.path());
    return paths;
}

bool FaultServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void FaultServer::openGate(const std::string& gate) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        openGates_.insert(gate);
    }
    changed_.notify_all();
}

std::string response(const std::string& status, const std::vector<std::string>& headers,
                     const std::string& body) {
    std::string text = "HTTP/1.1 " + status + "\r\nConnection: close\r\n";
    for (const std::string& header : headers)
        text += header + "\r\n";
    return text + "\r\n" + body;
}

FaultServer::Handler reply(std::string bytes) {
    return [bytes = std::move(bytes)](const HttpRequest&, Connection& connection) { connection.send(bytes); };
}

} // namespace volumira::test

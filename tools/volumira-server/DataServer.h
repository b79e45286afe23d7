#pragma once

// The data server: grid files, the gene search service, image pyramids, the versions file, the
// search domain file and browser pages (a front page listing the genes, image and series pages) of one
// sample data directory, over HTTP.

#include <functional>
#include <memory>
#include <string>

namespace volumira::server {

inline constexpr int kDefaultPort = 8338;
inline constexpr const char* kDefaultAddress = "127.0.0.1";
// Connections served at once; more wait for a free thread. Each slow or idle client holds one.
inline constexpr std::size_t kMaxConnectionThreads = 256;
inline constexpr std::size_t kInitialThreads = 8;

class DataServer {
  public:
    // Reads the catalogue, the similarity database, the ontology and the search domains of the data
    // directory. Throws std::runtime_error naming what is missing.
    explicit DataServer(const std::string& dataDirectory);
    ~DataServer();
    DataServer(const DataServer&) = delete;
    DataServer& operator=(const DataServer&) = delete;

    // Lines about each request ("GET /path 200 1234 bytes") go here; none by default.
    void setLogger(std::function<void(const std::string&)> logger);
    // Binds the address and port (0: any free port) and returns the port; throws when it cannot.
    int bind(const std::string& address, int port);
    // Serves until stop() is called, from any thread. Returns false when serving failed.
    bool serve();
    // True while serve() accepts connections.
    bool isRunning() const;
    void stop();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace volumira::server

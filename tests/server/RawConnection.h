#pragma once

// A client connection on loopback that sends exactly the bytes it is given, for requests no HTTP client
// library would send: hostile paths, lying lengths, bodies without end, a byte at a time.

#include <chrono>
#include <string>

namespace volumira::test {

class RawConnection {
  public:
    explicit RawConnection(int port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // False once the server has closed the connection or refuses more.
    bool send(const std::string& bytes);
    // What arrives until the server closes the connection or the time runs out; timedOut tells which.
    std::string receive(std::chrono::milliseconds limit, bool* timedOut = nullptr);

  private:
    int fd_ = -1;
};

// The status of an HTTP answer, 0 when there is none.
int statusOf(const std::string& answer);

} // namespace volumira::test

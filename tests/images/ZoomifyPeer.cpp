#include "ZoomifyPeer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace volumira::test {

namespace {

int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(s);
        throw std::runtime_error("no free port");
    }
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

} // namespace

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

RgbPicture testPicture(int width, int height) {
    RgbPicture p{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = &p.pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            px[0] = static_cast<std::uint8_t>(255.0 * x / width);
            px[1] = static_cast<std::uint8_t>(255.0 * y / height);
            px[2] = static_cast<std::uint8_t>(128.0 + 100.0 * std::sin(x / 90.0) * std::cos(y / 70.0));
        }
    }
    return p;
}

ZoomifyPeer::ZoomifyPeer() : port_(freePort()) {
    const std::string root = dir_.file("www");
    run("mkdir -p '" + root + "/pyramid' '" + dir_.file("temp") + "'");
    // Single process in the foreground of its own child, logs and temporary files in the test's folder.
    // Tiles named "slow" trickle out at 4 kB/s.
    std::ofstream(dir_.file("nginx.conf"))
        << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << dir_.file("nginx.pid")
        << ";\nerror_log " << dir_.file("error.log") << ";\nevents { worker_connections 64; }\nhttp {\n"
        << "  access_log " << dir_.file("access.log") << ";\n  default_type application/octet-stream;\n"
        << "  types { image/jpeg jpg; text/xml xml; }\n"
        << "  client_body_temp_path " << dir_.file("temp") << ";\n  proxy_temp_path " << dir_.file("temp")
        << ";\n  fastcgi_temp_path " << dir_.file("temp") << ";\n  uwsgi_temp_path " << dir_.file("temp")
        << ";\n  scgi_temp_path " << dir_.file("temp") << ";\n"
        << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << root << ";\n"
        << "    location ~ /slow/ { limit_rate 4k; }\n  }\n}\n";
    const pid_t child = fork();
    if (child == 0) {
        execlp("nginx", "nginx", "-c", dir_.file("nginx.conf").c_str(), "-p", dir_.path().c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) throw std::runtime_error("fork failed");
    pid_ = child;
    for (int i = 0; i < 200 && !accepts(port_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!accepts(port_)) throw std::runtime_error("nginx did not start; see " + dir_.file("error.log"));
}

ZoomifyPeer::~ZoomifyPeer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

std::string ZoomifyPeer::addPyramid(const std::string& name, const RgbPicture& picture, int tileSize) {
    std::string flat = name;
    for (char& c : flat)
        if (c == '/') c = '_';
    const std::string ppm = dir_.file(flat + ".ppm");
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << picture.width << ' ' << picture.height << "\n255\n";
        out.write(reinterpret_cast<const char*>(picture.pixels.data()),
                  static_cast<std::streamsize>(picture.pixels.size()));
    }
    const std::string folder = dir_.file("www/pyramid/" + name);
    run("mkdir -p \"$(dirname '" + folder + "')\" && vips dzsave '" + ppm + "' '" + folder +
        "' --layout zoomify --tile-size " + std::to_string(tileSize) + " --suffix '.jpg[Q=92]' >/dev/null");
    return folder;
}

std::string ZoomifyPeer::host() const { return "http://127.0.0.1:" + std::to_string(port_); }

int ZoomifyPeer::requestCount() const {
    std::ifstream log(dir_.file("access.log"));
    int lines = 0;
    for (std::string line; std::getline(log, line);) ++lines;
    return lines;
}

} // namespace volumira::test

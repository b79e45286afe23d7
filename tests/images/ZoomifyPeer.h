#pragma once

// A standard Zoomify host for tests: pyramids written by vips (Debian libvips-tools) from pictures the test
// makes, served by nginx from a configuration in a temporary folder on a free loopback port.

#include "support/TempDir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace volumira::test {

// An RGB picture, rows top first.
struct RgbPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    const std::uint8_t* at(int x, int y) const { return &pixels[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// Smooth gradients and waves: any sensible reduction filter agrees on it within a few levels.
RgbPicture testPicture(int width, int height);

class ZoomifyPeer {
  public:
    // Starts nginx; throws std::runtime_error when it cannot.
    ZoomifyPeer();
    ~ZoomifyPeer();
    ZoomifyPeer(const ZoomifyPeer&) = delete;
    ZoomifyPeer& operator=(const ZoomifyPeer&) = delete;

    // Writes the picture as a pyramid served at /pyramid/<name>; returns the pyramid's folder.
    std::string addPyramid(const std::string& name, const RgbPicture& picture, int tileSize = 256);
    // The address the viewer's "HostName" setting takes.
    std::string host() const;
    // Requests nginx has answered so far.
    int requestCount() const;
    const TempDir& folder() const { return dir_; }

  private:
    TempDir dir_;
    int port_ = 0;
    int pid_ = 0;
};

// Runs a shell command; throws with its text when it fails.
void run(const std::string& command);

} // namespace volumira::test

#pragma once

#include "io/Image3d.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace volumira::tool {

// The geometry the volume files do not store, given on the command line.
struct VolumeGeometry {
    std::array<int, 3> dims{};
    float spacing = 25.0f;
    std::string format = "auto"; // raw, comp, or auto: ".comp" names a slice-compressed file
};

void addGeometryOptions(CLI::App& command, VolumeGeometry& geometry);
bool isSliceCompressed(const std::string& path, const std::string& format);

// Reads a raw or slice-compressed volume with a terminal progress bar; throws with a clear message.
Image3d loadVolume(const std::string& path, const VolumeGeometry& geometry);
void saveVolume(const Image3d& image, const std::string& path, bool sliceCompressed);

struct VolumeStats {
    std::uint8_t min = 0, max = 0;
    double mean = 0, stddev = 0;
    std::size_t nonZero = 0;
    std::array<std::size_t, 16> histogram{}; // 16 bins of 16 values each
};
VolumeStats computeStats(const Image3d& image);

struct VolumeDifference {
    int maxAbs = 0;
    double meanAbs = 0;
    double psnr = 0; // infinity when identical
    std::size_t differing = 0;
};
VolumeDifference compareVolumes(const Image3d& a, const Image3d& b);

// One plane of the volume as a grey image, the way an anatomist looks at it. Axis 0 (x, coronal)
// gives nz columns by ny rows; axis 1 (y, horizontal) nz by nx; axis 2 (z, sagittal) nx by ny.
struct Slice {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};
Slice extractSlice(const Image3d& image, int axis, int index);

// Accepts 0, 1, 2 or x, y, z.
int parseAxis(const std::string& text);

} // namespace volumira::tool

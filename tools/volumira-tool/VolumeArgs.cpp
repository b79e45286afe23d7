#include "volumira-tool/VolumeArgs.h"

#include "volumira-tool/TerminalProgress.h"

#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace volumira::tool {

void addGeometryOptions(CLI::App& command, VolumeGeometry& geometry) {
    command.add_option("--dims", geometry.dims, "Voxels along x, y and z (NX NY NZ)")
        ->required()
        ->check(CLI::PositiveNumber);
    command.add_option("--spacing", geometry.spacing, "Voxel edge length in micrometres")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    command
        .add_option("--format", geometry.format, "raw, comp (slice-compressed) or auto (by the .comp suffix)")
        ->capture_default_str()
        ->check(CLI::IsMember({"auto", "raw", "comp"}));
}

bool isSliceCompressed(const std::string& path, const std::string& format) {
    if (format == "raw") return false;
    if (format == "comp") return true;
    return std::filesystem::path(path).extension() == ".comp";
}

Image3d loadVolume(const std::string& path, const VolumeGeometry& geometry) {
    const auto [nx, ny, nz] = geometry.dims;
    Image3d image;
    TerminalProgress progress("Reading " + path);
    if (isSliceCompressed(path, geometry.format)) {
        try {
            image.readCompressed(path, nx, ny, nz, geometry.spacing, progress.callback(),
                                 progress.userData());
        } catch (const std::exception& e) {
            // The JPEG codec's messages do not say which file they came from.
            const std::string message = e.what();
            if (message.find(path) != std::string::npos) throw;
            throw std::runtime_error(path + ": " + message);
        }
        return image;
    }
    if (!image.readRaw(path, nx, ny, nz, geometry.spacing, progress.callback(), progress.userData())) {
        // The raw reader only says yes or no; say why here.
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        const auto expected = static_cast<std::uintmax_t>(nx) * ny * nz;
        if (error) throw std::runtime_error("Could not open raw volume " + path + ".");
        throw std::runtime_error("Could not read raw volume " + path + ": it holds " + std::to_string(size) +
                                 " bytes, the dimensions need " + std::to_string(expected) + ".");
    }
    return image;
}

void saveVolume(const Image3d& image, const std::string& path, bool sliceCompressed) {
    if (sliceCompressed) {
        if (!image.writeCompressed(path)) throw std::runtime_error("Could not create " + path + ".");
        return;
    }
    TerminalProgress progress("Writing " + path);
    image.writeRaw(path, progress.callback(), progress.userData());
}

VolumeStats computeStats(const Image3d& image) {
    VolumeStats stats;
    std::array<std::size_t, 256> counts{};
    const std::uint8_t* v = image.data();
    for (std::size_t i = 0, n = image.voxelCount(); i < n; ++i)
        ++counts[v[i]];
    double sum = 0, sumSquares = 0;
    bool first = true;
    for (int value = 0; value < 256; ++value) {
        const std::size_t c = counts[value];
        if (!c) continue;
        if (first) stats.min = static_cast<std::uint8_t>(value);
        first = false;
        stats.max = static_cast<std::uint8_t>(value);
        sum += static_cast<double>(c) * value;
        sumSquares += static_cast<double>(c) * value * value;
        stats.histogram[value / 16] += c;
    }
    const double n = static_cast<double>(image.voxelCount());
    stats.mean = n ? sum / n : 0;
    stats.stddev = n ? std::sqrt(std::max(0.0, sumSquares / n - stats.mean * stats.mean)) : 0;
    stats.nonZero = image.voxelCount() - counts[0];
    return stats;
}

VolumeDifference compareVolumes(const Image3d& a, const Image3d& b) {
    for (int axis = 0; axis < 3; ++axis)
        if (a.dimension(axis) != b.dimension(axis))
            throw std::invalid_argument("The volumes differ in size.");
    VolumeDifference d;
    double sum = 0, sumSquares = 0;
    for (std::size_t i = 0, n = a.voxelCount(); i < n; ++i) {
        const int diff = std::abs(a.data()[i] - b.data()[i]);
        d.maxAbs = std::max(d.maxAbs, diff);
        d.differing += diff != 0;
        sum += diff;
        sumSquares += static_cast<double>(diff) * diff;
    }
    const double n = static_cast<double>(a.voxelCount());
    d.meanAbs = sum / n;
    const double mse = sumSquares / n;
    d.psnr = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : INFINITY;
    return d;
}

Slice extractSlice(const Image3d& image, int axis, int index) {
    const int nx = image.dimension(0), ny = image.dimension(1), nz = image.dimension(2);
    const int extent = image.dimension(axis);
    if (index < 0 || index >= extent)
        throw std::invalid_argument("Slice index " + std::to_string(index) + " is outside 0.." +
                                    std::to_string(extent - 1) + ".");
    const std::uint8_t* v = image.data();
    const auto at = [&](int x, int y, int z) {
        return v[x + static_cast<std::size_t>(y) * nx + static_cast<std::size_t>(z) * nx * ny];
    };
    // Anatomical orientation: dorsal up in coronal and sagittal views, anterior up in horizontal
    // ones, left-right across coronal and horizontal views.
    Slice slice;
    slice.width = axis == 2 ? nx : nz;
    slice.height = axis == 1 ? nx : ny;
    slice.pixels.resize(static_cast<std::size_t>(slice.width) * slice.height);
    for (int r = 0; r < slice.height; ++r)
        for (int c = 0; c < slice.width; ++c)
            slice.pixels[static_cast<std::size_t>(r) * slice.width + c] = axis == 0   ? at(index, r, c)
                                                                          : axis == 1 ? at(r, index, c)
                                                                                      : at(c, r, index);
    return slice;
}

int parseAxis(const std::string& text) {
    if (text == "0" || text == "x") return 0;
    if (text == "1" || text == "y") return 1;
    if (text == "2" || text == "z") return 2;
    throw std::invalid_argument("Unknown axis \"" + text + "\": use x, y, z or 0, 1, 2.");
}

} // namespace volumira::tool

#include "volumira-tool/Phantom.h"
#include "volumira-tool/PngWriter.h"
#include "volumira-tool/Tool.h"
#include "volumira-tool/VolumeArgs.h"

#include <cmath>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

namespace volumira::tool {

namespace {

struct VolumeOptions {
    VolumeGeometry geometry;
    std::string input, output, axis = "x";
    int index = -1;
    bool json = false;
};

std::string describeFormat(bool sliceCompressed) {
    return sliceCompressed ? "slice-compressed" : "raw";
}

void printInfo(std::ostream& out, const VolumeOptions& o) {
    const Image3d image = loadVolume(o.input, o.geometry);
    const VolumeStats s = computeStats(image);
    const bool compressed = isSliceCompressed(o.input, o.geometry.format);
    const auto fileSize = std::filesystem::file_size(o.input);
    if (o.json) {
        nlohmann::json j = {{"path", o.input},
                            {"format", describeFormat(compressed)},
                            {"dimensions", o.geometry.dims},
                            {"spacing", o.geometry.spacing},
                            {"voxelCount", image.voxelCount()},
                            {"fileSize", fileSize},
                            {"min", s.min},
                            {"max", s.max},
                            {"mean", s.mean},
                            {"stddev", s.stddev},
                            {"nonZero", s.nonZero},
                            {"histogram", s.histogram}};
        out << j.dump(2) << '\n';
        return;
    }
    const auto [nx, ny, nz] = o.geometry.dims;
    out << "file:        " << o.input << " (" << describeFormat(compressed) << ", " << fileSize << " bytes)\n"
        << "dimensions:  " << nx << " x " << ny << " x " << nz << " voxels at " << o.geometry.spacing
        << " µm\n"
        << "voxels:      " << image.voxelCount() << ", " << std::fixed << std::setprecision(1)
        << 100.0 * static_cast<double>(s.nonZero) / static_cast<double>(image.voxelCount()) << "% non-zero\n"
        << std::setprecision(2) << "values:      min " << int(s.min) << ", max " << int(s.max) << ", mean "
        << s.mean << ", std " << s.stddev << '\n'
        << "histogram:  ";
    for (std::size_t bin = 0; bin < s.histogram.size(); ++bin)
        out << ' ' << s.histogram[bin];
    out << "  (bins of 16 values)\n";
}

void exportSlice(std::ostream& out, const VolumeOptions& o) {
    const int axis = parseAxis(o.axis);
    const Image3d image = loadVolume(o.input, o.geometry);
    const int index = o.index >= 0 ? o.index : image.dimension(axis) / 2;
    const Slice slice = extractSlice(image, axis, index);
    writeGrayPng(o.output, slice.pixels.data(), slice.width, slice.height);
    out << "wrote " << o.output << ": slice " << index << " along "
        << "xyz"[axis] << ", " << slice.width << " x " << slice.height << " pixels\n";
}

void convert(std::ostream& out, const VolumeOptions& o, bool toSliceCompressed) {
    VolumeGeometry from = o.geometry;
    from.format = toSliceCompressed ? "raw" : "comp";
    const Image3d image = loadVolume(o.input, from);
    saveVolume(image, o.output, toSliceCompressed);
    const auto inSize = std::filesystem::file_size(o.input), outSize = std::filesystem::file_size(o.output);
    out << "wrote " << o.output << " (" << describeFormat(toSliceCompressed) << ", " << outSize
        << " bytes from " << inSize << ")\n";
}

void compare(std::ostream& out, const VolumeOptions& o) {
    const Image3d a = loadVolume(o.input, o.geometry);
    const Image3d b = loadVolume(o.output, o.geometry);
    const VolumeDifference d = compareVolumes(a, b);
    if (o.json) {
        out << nlohmann::json{{"maxAbsDifference", d.maxAbs},
                              {"meanAbsDifference", d.meanAbs},
                              {"psnr",
                               std::isfinite(d.psnr) ? nlohmann::json(d.psnr) : nlohmann::json(nullptr)},
                              {"differingVoxels", d.differing}}
                   .dump(2)
            << '\n';
        return;
    }
    out << std::fixed << std::setprecision(3) << "max |difference| " << d.maxAbs << ", mean |difference| "
        << d.meanAbs << ", PSNR ";
    if (std::isfinite(d.psnr))
        out << std::setprecision(2) << d.psnr << " dB";
    else
        out << "infinite";
    out << ", " << d.differing << " voxels differ\n";
}

void phantom(std::ostream& out, const VolumeOptions& o) {
    const auto [nx, ny, nz] = o.geometry.dims;
    const Image3d image = makePhantom(nx, ny, nz, o.geometry.spacing);
    saveVolume(image, o.output, isSliceCompressed(o.output, o.geometry.format));
    out << "wrote " << o.output << ": " << nx << " x " << ny << " x " << nz << " test volume\n";
}

} // namespace

void addVolumeCommands(CLI::App& app, std::ostream& out) {
    CLI::App* volume = app.add_subcommand("volume", "Inspect and convert raw and slice-compressed volumes");
    volume->require_subcommand(1);
    auto options = std::make_shared<VolumeOptions>();

    CLI::App* info = volume->add_subcommand("info", "Dimensions and value statistics of a volume");
    info->add_option("file", options->input, "Volume file")->required()->check(CLI::ExistingFile);
    addGeometryOptions(*info, options->geometry);
    info->add_flag("--json", options->json, "Print JSON");
    info->callback([&out, options] { printInfo(out, *options); });

    CLI::App* slice = volume->add_subcommand("slice", "Export one slice along an axis as a PNG");
    slice->add_option("file", options->input, "Volume file")->required()->check(CLI::ExistingFile);
    addGeometryOptions(*slice, options->geometry);
    slice->add_option("--axis", options->axis, "x (coronal), y (horizontal) or z (sagittal), or 0, 1, 2")
        ->capture_default_str();
    slice->add_option("--index", options->index, "Slice index along the axis (default: the middle)");
    slice->add_option("--out", options->output, "PNG file to write")->required();
    slice->callback([&out, options] { exportSlice(out, *options); });

    CLI::App* compress = volume->add_subcommand("compress", "Write a raw volume as a slice-compressed file");
    compress->add_option("input", options->input, "Raw volume")->required()->check(CLI::ExistingFile);
    compress->add_option("output", options->output, "Slice-compressed file to write")->required();
    addGeometryOptions(*compress, options->geometry);
    compress->callback([&out, options] { convert(out, *options, true); });

    CLI::App* decompress =
        volume->add_subcommand("decompress", "Write a slice-compressed volume as a raw file");
    decompress->add_option("input", options->input, "Slice-compressed volume")
        ->required()
        ->check(CLI::ExistingFile);
    decompress->add_option("output", options->output, "Raw file to write")->required();
    addGeometryOptions(*decompress, options->geometry);
    decompress->callback([&out, options] { convert(out, *options, false); });

    CLI::App* diff = volume->add_subcommand("compare", "Voxel differences between two volumes of one size");
    diff->add_option("first", options->input, "Volume")->required()->check(CLI::ExistingFile);
    diff->add_option("second", options->output, "Volume")->required()->check(CLI::ExistingFile);
    addGeometryOptions(*diff, options->geometry);
    diff->add_flag("--json", options->json, "Print JSON");
    diff->callback([&out, options] { compare(out, *options); });

    CLI::App* test = volume->add_subcommand("phantom", "Write a brain-like test volume");
    test->add_option("output", options->output, "Volume file to write (.comp for slice-compressed)")
        ->required();
    addGeometryOptions(*test, options->geometry);
    test->callback([&out, options] { phantom(out, *options); });
}

} // namespace volumira::tool

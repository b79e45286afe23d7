#include "atlas/AtlasGrid.h"
#include "atlas/ColourMap.h"
#include "io/Image3d.h"
#include "volumira-tool/PngWriter.h"
#include "volumira-tool/Tool.h"
#include "volumira-tool/VolumeArgs.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <ostream>

namespace volumira::tool {

namespace {

struct SliceOptions {
    std::string directory, axis = "x", output;
    double position = -1;
};

// The section as the viewer composes it: the Nissl stain dark on white, blended half and half with
// the atlas colour of each voxel's structure.
void renderSection(std::ostream& out, const SliceOptions& o) {
    namespace fs = std::filesystem;
    const fs::path dir(o.directory);
    const int axis = parseAxis(o.axis);
    const auto [nx, ny, nz] = atlas::kFineDims;
    VolumeGeometry geometry{{nx, ny, nz}, atlas::kFineSpacing, "raw"};
    const Image3d labels = loadVolume((dir / "Annotation25").string(), geometry);
    // An installed atlas may hold the Nissl volume unpacked or only in its compressed form.
    const bool unpacked = fs::exists(dir / "Atlas25");
    geometry.format = unpacked ? "raw" : "comp";
    const Image3d nissl = loadVolume((dir / (unpacked ? "Atlas25" : "Atlas25.comp")).string(), geometry);
    ColourMap colours;
    colours.load((dir / "Colormaps" / "TSA.map").string());

    // Positions are in scene units (coarse voxels), like the viewer's section planes.
    const int extent = labels.dimension(axis);
    const int index = o.position < 0
                          ? extent / 2
                          : std::min(extent - 1, static_cast<int>(o.position * atlas::kScale + 0.5));
    const Slice stain = extractSlice(nissl, axis, index);
    const Slice structure = extractSlice(labels, axis, index);
    std::vector<std::uint8_t> rgb(stain.pixels.size() * 3);
    for (std::size_t i = 0; i < stain.pixels.size(); ++i) {
        const int grey = 255 - stain.pixels[i];
        const auto tint = colours.colour(structure.pixels[i]);
        for (int c = 0; c < 3; ++c)
            rgb[i * 3 + c] = static_cast<std::uint8_t>((grey + tint[c] + 1) / 2);
    }
    writeRgbPng(o.output, rgb.data(), stain.width, stain.height);
    out << "wrote " << o.output << ": fine slice " << index << " along "
        << "xyz"[axis] << ", " << stain.width << " x " << stain.height << " pixels\n";
}

} // namespace

void addAtlasSliceCommand(CLI::App& atlasCommand, std::ostream& out) {
    auto options = std::make_shared<SliceOptions>();
    CLI::App* slice =
        atlasCommand.add_subcommand("slice", "Render a section through an atlas Data directory as a PNG");
    slice->add_option("directory", options->directory, "Data directory")
        ->required()
        ->check(CLI::ExistingDirectory);
    slice->add_option("--axis", options->axis, "x (coronal), y (horizontal) or z (sagittal)")
        ->capture_default_str();
    slice
        ->add_option("--position", options->position,
                     "Plane position in scene units (100 µm voxels); default: the middle")
        ->check(CLI::NonNegativeNumber);
    slice->add_option("--out", options->output, "PNG file to write")->required();
    slice->callback([&out, options] { renderSection(out, *options); });
}

} // namespace volumira::tool

#pragma once

#include "render/SectionVolumes.h"
#include "render/TextureImage.h"

#include <array>
#include <cstdint>

namespace volumira {

class BrainExpressionModel;
struct Structure;

// Draws the shown coronal, horizontal and sagittal section planes, each one textured quad whose slice
// blends the Nissl stain with the annotation colours, tints the selected structure's subtree green and
// marks a grid and the Bregma lines. A slice is composed again only when its index or the selection
// changes. Needs the GL context current from construction to destruction.
class MPRRenderer {
  public:
    // Spacing of the grid lines, in annotation voxels from Bregma.
    static constexpr int kSectionGridSpacing = 36;

    // Throws std::invalid_argument when the volumes are not loaded or differ in size.
    MPRRenderer(const BrainExpressionModel& model, const SectionVolumes& volumes);

    // Axis 1 under nameBase + 1, axis 0 under nameBase, axis 2 under nameBase + 2, in that order.
    void drawSections(int nameBase);
    // Every shown plane is composed again at its next draw.
    void invalidateSlices();

    // The slice a section position (scene units) shows on an axis.
    int sliceIndex(int axis, float position) const;
    const TextureImage& texture(int axis) const { return textures_[static_cast<std::size_t>(axis)]; }

    // Composes slice `slice` of `axis` into out (columns along the first remaining axis, rows along the
    // second, BGRA). selected: the structure whose subtree is tinted, or null; alpha: the Nissl weight.
    static void composeSlice(const SectionVolumes& volumes, int axis, int slice, const Structure* selected,
                             float alpha, std::uint8_t* out);

  private:
    void drawPlane(int axis);
    const BrainExpressionModel& model_;
    SectionVolumes volumes_;
    std::array<TextureImage, 3> textures_;
    std::array<int, 3> cachedSlices_{-1, -1, -1};
};

} // namespace volumira

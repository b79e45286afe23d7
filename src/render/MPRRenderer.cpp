#include "render/MPRRenderer.h"

#include "atlas/ColourMap.h"
#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "io/Image3d.h"
#include "render/GL.h"

#include <cmath>
#include <stdexcept>

namespace volumira {

namespace {

// The axes along a plane's texture columns and rows.
constexpr std::array<std::array<int, 2>, 3> kPlaneAxes{{{1, 2}, {0, 2}, {0, 1}}};

int columnAxis(int axis) {
    return kPlaneAxes[static_cast<std::size_t>(axis)][0];
}
int rowAxis(int axis) {
    return kPlaneAxes[static_cast<std::size_t>(axis)][1];
}

} // namespace

MPRRenderer::MPRRenderer(const BrainExpressionModel& model, const SectionVolumes& volumes)
    : model_(model), volumes_(volumes) {
    if (!volumes.annotation.isLoaded() || !volumes.nissl.isLoaded())
        throw std::invalid_argument("The section planes need the annotation and Nissl volumes loaded.");
    for (int a = 0; a < 3; ++a)
        if (volumes.annotation.dimension(a) != volumes.nissl.dimension(a))
            throw std::invalid_argument("The annotation and Nissl volumes differ in size.");
    for (int a = 0; a < 3; ++a)
        textures_[static_cast<std::size_t>(a)].create(volumes.annotation.dimension(columnAxis(a)),
                                                      volumes.annotation.dimension(rowAxis(a)));
    invalidateSlices();
}

void MPRRenderer::invalidateSlices() {
    cachedSlices_ = {-1, -1, -1};
}

int MPRRenderer::sliceIndex(int axis, float position) const {
    const float d = position * volumes_.voxelsPerUnit();
    const float last = static_cast<float>(volumes_.annotation.dimension(axis) - 1);
    // Limited in float first so that a wild position cannot overflow the conversion.
    const float index = std::floor(d + 0.5f);
    if (!(index >= 0.0f)) return 0;
    return static_cast<int>(std::min(index, last));
}

void MPRRenderer::composeSlice(const SectionVolumes& volumes, int axis, int slice, const Structure* selected,
                               float alpha, std::uint8_t* out) {
    const Image3d& annotation = volumes.annotation;
    const int ca = columnAxis(axis), ra = rowAxis(axis);
    const int columns = annotation.dimension(ca), rows = annotation.dimension(ra);
    const int bc = volumes.bregma[static_cast<std::size_t>(ca)],
              br = volumes.bregma[static_cast<std::size_t>(ra)];
    std::array<std::size_t, 3> stride{1, static_cast<std::size_t>(annotation.dimension(0)),
                                      static_cast<std::size_t>(annotation.dimension(0)) *
                                          static_cast<std::size_t>(annotation.dimension(1))};
    const StructureSet tinted = selected ? selected->subtreeSet : StructureSet{};
    const auto u = static_cast<std::uint32_t>(std::lround(alpha * 65536.0f));
    const std::uint8_t* labels = annotation.data();
    const std::uint8_t* stain = volumes.nissl.data();
    const auto& colourTable = volumes.colours.data();
    const std::size_t sliceOffset = static_cast<std::size_t>(slice) * stride[static_cast<std::size_t>(axis)];
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const std::size_t voxel = sliceOffset +
                                      static_cast<std::size_t>(c) * stride[static_cast<std::size_t>(ca)] +
                                      static_cast<std::size_t>(r) * stride[static_cast<std::size_t>(ra)];
            const std::uint32_t n = stain[voxel];
            const std::uint8_t label = labels[voxel];
            const bool onGrid = (c - bc) % kSectionGridSpacing == 0 || (r - br) % kSectionGridSpacing == 0;
            // The stain shows dark on white; grid lines darker still.
            const std::uint32_t grey = onGrid ? (3 * n) >> 2 : 255 - n;
            std::array<std::uint32_t, 3> tint{}; // red, green, blue
            if (r == br || c == bc) {
                tint = {0, 0, 200};
            } else if (label != 0 && volumes.ontology.structureAt(label).selfSet.intersects(tinted)) {
                tint = {0, 255, 0};
            } else {
                tint = {colourTable[label * 3u], colourTable[label * 3u + 1], colourTable[label * 3u + 2]};
            }
            std::uint8_t* pixel = out + (static_cast<std::size_t>(r) * columns + c) * 4;
            for (int channel = 0; channel < 3; ++channel)
                pixel[channel] =
                    static_cast<std::uint8_t>((grey * u + tint[2 - channel] * (65536 - u)) >> 16);
            pixel[3] = 255;
        }
    }
}

void MPRRenderer::drawSections(int nameBase) {
    static constexpr std::array<int, 3> kOrder{1, 0, 2};
    for (int axis : kOrder) {
        if (!model_.displayFlag(axis)) continue;
        glLoadName(static_cast<GLuint>(nameBase + axis));
        drawPlane(axis);
    }
}

void MPRRenderer::drawPlane(int axis) {
    const auto a = static_cast<std::size_t>(axis);
    const float d = model_.sectionPosition(axis) * volumes_.voxelsPerUnit();
    const int slice = sliceIndex(axis, model_.sectionPosition(axis));
    TextureImage& texture = textures_[a];
    if (slice != cachedSlices_[a]) {
        composeSlice(volumes_, axis, slice, model_.highlightedStructure(), model_.annotationBlend(),
                     texture.pixels());
        texture.upload();
        cachedSlices_[a] = slice;
    }
    const int ca = columnAxis(axis), ra = rowAxis(axis);
    const float columns = static_cast<float>(texture.width()), rows = static_cast<float>(texture.height());
    const float sMax = columns / static_cast<float>(texture.storageWidth());
    const float tMax = rows / static_cast<float>(texture.storageHeight());
    const auto vertex = [&](float column, float row) {
        float p[3];
        p[axis] = d;
        p[ca] = column;
        p[ra] = row;
        glVertex3fv(p);
    };
    glPushMatrix();
    glColor4f(1, 1, 1, 1);
    const float scale = 1.0f / volumes_.voxelsPerUnit();
    glScalef(scale, scale, scale);
    glBindTexture(GL_TEXTURE_2D, texture.texture());
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    vertex(0, 0);
    glTexCoord2f(sMax, 0);
    vertex(columns, 0);
    glTexCoord2f(sMax, tMax);
    vertex(columns, rows);
    glTexCoord2f(0, tMax);
    vertex(0, rows);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(0.25f, 0.25f, 0.25f, 1.0f);
    glBegin(GL_LINE_LOOP);
    vertex(-0.5f, -0.5f);
    vertex(columns + 0.5f, -0.5f);
    vertex(columns + 0.5f, rows + 0.5f);
    vertex(-0.5f, rows + 0.5f);
    glEnd();
    glPopMatrix();
}

} // namespace volumira

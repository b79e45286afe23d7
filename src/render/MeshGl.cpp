#include "render/MeshGl.h"

#include "atlas/Mesh.h"
#include "render/GL.h"

#include <algorithm>

namespace volumira {

namespace {

constexpr std::size_t kLongestBatchedStrip = 5;
// Mesa's selection (picking) path fails on primitives of hundreds of thousands of vertices; pieces of
// this size draw the same and pick safely.
constexpr std::size_t kBatchTriangles = 4096;
constexpr std::size_t kStripPiece = 4096; // even, so each piece keeps the strip's winding

void vertex(const Mesh& mesh, std::int32_t index) {
    const MeshVertex& v = mesh.vertices[static_cast<std::size_t>(index)];
    glNormal3fv(v.normal);
    glVertex3fv(v.position);
}

} // namespace

void emitGl(const Mesh& mesh) {
    std::size_t s = 0, batched = 0;
    glBegin(GL_TRIANGLES);
    for (; s < mesh.strips.size() && mesh.strips[s].size() <= kLongestBatchedStrip; ++s) {
        const auto& strip = mesh.strips[s];
        for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
            if (++batched % kBatchTriangles == 0) {
                glEnd();
                glBegin(GL_TRIANGLES);
            }
            // A strip's odd triangles have their first two vertices swapped, as the GL draws a strip.
            const bool odd = k % 2 == 1;
            vertex(mesh, strip[odd ? k + 1 : k]);
            vertex(mesh, strip[odd ? k : k + 1]);
            vertex(mesh, strip[k + 2]);
        }
    }
    glEnd();
    for (; s < mesh.strips.size(); ++s) {
        const auto& strip = mesh.strips[s];
        // Consecutive pieces share two vertices, so no triangle is lost between them.
        for (std::size_t start = 0; start + 2 < strip.size(); start += kStripPiece) {
            const std::size_t end = std::min(strip.size(), start + kStripPiece + 2);
            glBegin(GL_TRIANGLE_STRIP);
            for (std::size_t i = start; i < end; ++i)
                vertex(mesh, strip[i]);
            glEnd();
        }
    }
}

MeshBounds boundsOf(const Mesh& mesh) {
    MeshBounds box;
    if (mesh.vertices.empty()) return box;
    box.empty = false;
    for (int a = 0; a < 3; ++a)
        box.low[a] = box.high[a] = mesh.vertices.front().position[a];
    for (const MeshVertex& v : mesh.vertices)
        for (int a = 0; a < 3; ++a) {
            box.low[a] = std::min(box.low[a], v.position[a]);
            box.high[a] = std::max(box.high[a], v.position[a]);
        }
    return box;
}

bool boxOutsideClipVolume(const float matrix[16], const MeshBounds& box) {
    if (box.empty) return true;
    // Inside is -w <= x, y, z <= w. Each bound is linear in the position, so when all eight corners break
    // the same one, so does every point of the box.
    bool allBelow[3] = {true, true, true}, allAbove[3] = {true, true, true};
    for (int corner = 0; corner < 8; ++corner) {
        const float p[3] = {corner & 1 ? box.high[0] : box.low[0], corner & 2 ? box.high[1] : box.low[1],
                            corner & 4 ? box.high[2] : box.low[2]};
        float clip[4];
        for (int row = 0; row < 4; ++row)
            clip[row] =
                matrix[row] * p[0] + matrix[4 + row] * p[1] + matrix[8 + row] * p[2] + matrix[12 + row];
        for (int a = 0; a < 3; ++a) {
            allBelow[a] = allBelow[a] && clip[a] < -clip[3];
            allAbove[a] = allAbove[a] && clip[a] > clip[3];
        }
    }
    for (int a = 0; a < 3; ++a)
        if (allBelow[a] || allAbove[a]) return true;
    return false;
}

} // namespace volumira

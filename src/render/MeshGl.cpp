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

} // namespace volumira

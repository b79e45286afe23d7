#include "render/MeshGl.h"

#include "atlas/Mesh.h"
#include "render/GL.h"

namespace volumira {

namespace {

constexpr std::size_t kLongestBatchedStrip = 5;

void vertex(const Mesh& mesh, std::int32_t index) {
    const MeshVertex& v = mesh.vertices[static_cast<std::size_t>(index)];
    glNormal3fv(v.normal);
    glVertex3fv(v.position);
}

} // namespace

void emitGl(const Mesh& mesh) {
    std::size_t s = 0;
    glBegin(GL_TRIANGLES);
    for (; s < mesh.strips.size() && mesh.strips[s].size() <= kLongestBatchedStrip; ++s) {
        const auto& strip = mesh.strips[s];
        for (std::size_t k = 0; k + 2 < strip.size(); ++k) {
            // A strip's odd triangles have their first two vertices swapped, as the GL draws a strip.
            const bool odd = k % 2 == 1;
            vertex(mesh, strip[odd ? k + 1 : k]);
            vertex(mesh, strip[odd ? k : k + 1]);
            vertex(mesh, strip[k + 2]);
        }
    }
    glEnd();
    for (; s < mesh.strips.size(); ++s) {
        glBegin(GL_TRIANGLE_STRIP);
        for (std::int32_t index : mesh.strips[s])
            vertex(mesh, index);
        glEnd();
    }
}

} // namespace volumira

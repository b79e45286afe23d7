#include "render/Shapes.h"

#include "render/GL.h"

#include <array>
#include <cmath>

namespace volumira {

void BoxShape::box(float x, float y, float z, float sx, float sy, float sz) {
    const float x0 = x - 0.5f * sx, x1 = x + 0.5f * sx;
    const float y0 = y - 0.5f * sy, y1 = y + 0.5f * sy;
    const float z0 = z - 0.5f * sz, z1 = z + 0.5f * sz;
    // Each face counter-clockwise seen from outside.
    const auto face = [](float nx, float ny, float nz, const std::array<std::array<float, 3>, 4>& corners) {
        glBegin(GL_QUADS);
        glNormal3f(nx, ny, nz);
        for (const auto& c : corners)
            glVertex3f(c[0], c[1], c[2]);
        glEnd();
    };
    face(0, 0, 1, {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}});
    face(0, 0, -1, {{{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}});
    face(0, 1, 0, {{{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}}});
    face(0, -1, 0, {{{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}});
    face(1, 0, 0, {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}});
    face(-1, 0, 0, {{{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}}});
}

namespace {

using Vec3 = std::array<float, 3>;

const std::array<Vec3, 6> kOctahedronVertices{
    {{0, 0.5f, 0}, {-0.5f, 0, 0}, {0, 0, 0.5f}, {0.5f, 0, 0}, {0, 0, -0.5f}, {0, -0.5f, 0}}};

// The eight faces as vertex indices, counter-clockwise from outside: four around the top vertex, then
// four around the bottom one. Within each half, face k's last vertex is face k+1's second, so each half
// is also a triangle fan.
const std::array<std::array<int, 3>, 8> kOctahedronFaces{
    {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}, {5, 2, 1}, {5, 1, 4}, {5, 4, 3}, {5, 3, 2}}};

Vec3 faceNormal(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Vec3 v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (float& value : n)
        value /= length;
    return n;
}

const std::array<Vec3, 8>& octahedronNormals() {
    static const std::array<Vec3, 8> normals = [] {
        std::array<Vec3, 8> result{};
        for (std::size_t f = 0; f < kOctahedronFaces.size(); ++f) {
            const auto& face = kOctahedronFaces[f];
            result[f] = faceNormal(kOctahedronVertices[face[0]], kOctahedronVertices[face[1]],
                                   kOctahedronVertices[face[2]]);
        }
        return result;
    }();
    return normals;
}

void octahedronVertex(int index, float x, float y, float z, float s) {
    const Vec3& v = kOctahedronVertices[index];
    glVertex3f(x + v[0] * s, y + v[1] * s, z + v[2] * s);
}

constexpr float kIcoX = 0.5257311f;
constexpr float kIcoZ = 0.8506508f;

const std::array<Vec3, 12> kIcosahedronVertices{{{-kIcoX, 0, kIcoZ},
                                                 {kIcoX, 0, kIcoZ},
                                                 {-kIcoX, 0, -kIcoZ},
                                                 {kIcoX, 0, -kIcoZ},
                                                 {0, kIcoZ, kIcoX},
                                                 {0, kIcoZ, -kIcoX},
                                                 {0, -kIcoZ, kIcoX},
                                                 {0, -kIcoZ, -kIcoX},
                                                 {kIcoZ, kIcoX, 0},
                                                 {-kIcoZ, kIcoX, 0},
                                                 {kIcoZ, -kIcoX, 0},
                                                 {-kIcoZ, -kIcoX, 0}}};

const std::array<std::array<int, 3>, 20> kIcosahedronFaces{
    {{0, 4, 1}, {0, 9, 4},  {9, 5, 4},  {4, 5, 8},  {4, 8, 1},  {8, 10, 1}, {8, 3, 10},
     {5, 3, 8}, {5, 2, 3},  {2, 7, 3},  {7, 10, 3}, {7, 6, 10}, {7, 11, 6}, {11, 0, 6},
     {0, 1, 6}, {6, 1, 10}, {9, 0, 11}, {9, 11, 2}, {9, 2, 5},  {7, 2, 11}}};

} // namespace

void OctahedronShape::octahedron(float x, float y, float z, float s, bool asTriangles) {
    const auto& normals = octahedronNormals();
    if (asTriangles) {
        for (std::size_t f = 0; f < kOctahedronFaces.size(); ++f) {
            glNormal3fv(normals[f].data());
            for (int index : kOctahedronFaces[f])
                octahedronVertex(index, x, y, z, s);
        }
        return;
    }
    // Two fans around the apexes; the fan's k-th triangle is face k of its half (flat shading takes the
    // normal given before each triangle's last vertex).
    for (int half = 0; half < 2; ++half) {
        const int apex = half == 0 ? 0 : 5;
        const int first = half * 4;
        glBegin(GL_TRIANGLE_FAN);
        octahedronVertex(apex, x, y, z, s);
        octahedronVertex(kOctahedronFaces[first][1], x, y, z, s);
        for (int f = first; f < first + 4; ++f) {
            glNormal3fv(normals[f].data());
            octahedronVertex(kOctahedronFaces[f][2], x, y, z, s);
        }
        glEnd();
    }
}

void IcosahedronShape::icosahedron(float x, float y, float z, float r, bool ownBatch) {
    if (ownBatch) glBegin(GL_TRIANGLES);
    for (const auto& face : kIcosahedronFaces) {
        // The face table lists each face clockwise seen from outside; sending it the other way round
        // makes the outside the front face, as for the other shapes.
        for (int index : {face[0], face[2], face[1]}) {
            const Vec3& v = kIcosahedronVertices[index];
            glNormal3fv(v.data());
            glVertex3f(x + v[0] * r, y + v[1] * r, z + v[2] * r);
        }
    }
    if (ownBatch) glEnd();
}

namespace {

void rectangle(GLenum mode, float x0, float y0, float x1, float y1) {
    glBegin(mode);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

} // namespace

void RectangleShape::fill(float x0, float y0, float x1, float y1) { rectangle(GL_QUADS, x0, y0, x1, y1); }

void RectangleShape::outline(float x0, float y0, float x1, float y1) { rectangle(GL_LINE_LOOP, x0, y0, x1, y1); }

} // namespace volumira

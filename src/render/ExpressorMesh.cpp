#include "render/ExpressorMesh.h"

#include <algorithm>
#include <cmath>

namespace volumira {

namespace {

using Vec3 = std::array<float, 3>;

float distance2(const Vec3& a, const Vec3& b) {
    float d = 0.0f;
    for (int c = 0; c < 3; ++c)
        d += (a[c] - b[c]) * (a[c] - b[c]);
    return d;
}

// Faces of a convex solid whose faces are the triangles of mutually nearest vertices, turned to face
// outwards.
IndexedShape solidOf(std::vector<Vec3> vertices) {
    IndexedShape shape;
    float edge2 = 1e30f;
    for (std::size_t i = 0; i < vertices.size(); ++i)
        for (std::size_t j = i + 1; j < vertices.size(); ++j)
            edge2 = std::min(edge2, distance2(vertices[i], vertices[j]));
    auto adjacent = [&](std::size_t i, std::size_t j) {
        return distance2(vertices[i], vertices[j]) < edge2 * 1.01f;
    };
    for (std::size_t i = 0; i < vertices.size(); ++i)
        for (std::size_t j = i + 1; j < vertices.size(); ++j)
            for (std::size_t k = j + 1; k < vertices.size(); ++k) {
                if (!adjacent(i, j) || !adjacent(j, k) || !adjacent(i, k)) continue;
                const Vec3 &a = vertices[i], &b = vertices[j], &c = vertices[k];
                const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                const Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
                const bool outwards =
                    n[0] * (a[0] + b[0] + c[0]) + n[1] * (a[1] + b[1] + c[1]) + n[2] * (a[2] + b[2] + c[2]) >
                    0.0f;
                const std::uint32_t ii = static_cast<std::uint32_t>(i), jj = static_cast<std::uint32_t>(j),
                                    kk = static_cast<std::uint32_t>(k);
                shape.indices.insert(shape.indices.end(), {ii, outwards ? jj : kk, outwards ? kk : jj});
            }
    for (const Vec3& v : vertices) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        shape.normals.push_back({v[0] / length, v[1] / length, v[2] / length});
    }
    shape.vertices = std::move(vertices);
    return shape;
}

} // namespace

const IndexedShape& unitIcosahedron() {
    static const IndexedShape shape = [] {
        // The cyclic permutations of (0, ±1, ±φ), scaled onto the unit sphere.
        const float phi = (1.0f + std::sqrt(5.0f)) / 2.0f;
        const float norm = std::sqrt(1.0f + phi * phi);
        const float a = 1.0f / norm, b = phi / norm;
        std::vector<Vec3> v;
        for (float s : {-1.0f, 1.0f})
            for (float t : {-1.0f, 1.0f}) {
                v.push_back({0.0f, s * a, t * b});
                v.push_back({s * a, t * b, 0.0f});
                v.push_back({t * b, 0.0f, s * a});
            }
        return solidOf(std::move(v));
    }();
    return shape;
}

const IndexedShape& unitOctahedron() {
    static const IndexedShape shape = [] {
        std::vector<Vec3> v;
        for (int axis = 0; axis < 3; ++axis)
            for (float s : {-0.5f, 0.5f}) {
                Vec3 p{0.0f, 0.0f, 0.0f};
                p[axis] = s;
                v.push_back(p);
            }
        return solidOf(std::move(v));
    }();
    return shape;
}

void ExpressorMesh::beginGroup() {
    groups_.push_back({static_cast<std::uint32_t>(indexCount_), 0});
}

void ExpressorMesh::endGroup() {
    groups_.back().count = static_cast<std::uint32_t>(indexCount_) - groups_.back().first;
}

void ExpressorMesh::add(const IndexedShape& shape, float x, float y, float z, float scale,
                        const std::array<float, 3>& colour) {
    const auto base = static_cast<std::uint32_t>(vertexCount_);
    vertexCount_ += shape.vertices.size();
    indexCount_ += shape.indices.size();
    if (vertices_ == nullptr) return;
    Vertex vertex{};
    for (int c = 0; c < 3; ++c)
        vertex.colour[c] = static_cast<std::uint8_t>(std::clamp(colour[c], 0.0f, 1.0f) * 255.0f + 0.5f);
    vertex.colour[3] = 255;
    Vertex* out = vertices_ + base;
    for (std::size_t i = 0; i < shape.vertices.size(); ++i) {
        const Vec3& v = shape.vertices[i];
        vertex.position[0] = x + v[0] * scale;
        vertex.position[1] = y + v[1] * scale;
        vertex.position[2] = z + v[2] * scale;
        std::copy(shape.normals[i].begin(), shape.normals[i].end(), vertex.normal);
        out[i] = vertex;
    }
    std::uint32_t* indexOut = indices_ + (indexCount_ - shape.indices.size());
    for (std::size_t i = 0; i < shape.indices.size(); ++i)
        indexOut[i] = base + shape.indices[i];
}

} // namespace volumira

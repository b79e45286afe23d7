#include "render/ExpressorMesh.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace volumira {
namespace {

// Every edge of a closed solid is shared by exactly two faces, once in each direction.
void expectClosedAndOutward(const IndexedShape& shape, std::size_t faces) {
    ASSERT_EQ(shape.indices.size(), faces * 3);
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    for (std::size_t f = 0; f < faces; ++f) {
        const std::uint32_t* t = &shape.indices[f * 3];
        for (int e = 0; e < 3; ++e)
            ++edges[{t[e], t[(e + 1) % 3]}];
        // Outward: the face normal points away from the centre.
        const auto &a = shape.vertices[t[0]], &b = shape.vertices[t[1]], &c = shape.vertices[t[2]];
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]},
                    v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        EXPECT_GT(n[0] * a[0] + n[1] * a[1] + n[2] * a[2], 0.0f) << "face " << f;
    }
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
    }
}

TEST(ExpressorMeshTest, IcosahedronHasTwentyOutwardFacesOnTheUnitSphere) {
    const IndexedShape& shape = unitIcosahedron();
    ASSERT_EQ(shape.vertices.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        const auto& v = shape.vertices[i];
        EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 1.0f, 1e-6);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(shape.normals[i][c], v[c], 1e-6);
    }
    expectClosedAndOutward(shape, 20);
}

TEST(ExpressorMeshTest, OctahedronHasEightOutwardFacesAtHalfUnits) {
    const IndexedShape& shape = unitOctahedron();
    ASSERT_EQ(shape.vertices.size(), 6u);
    for (const auto& v : shape.vertices)
        EXPECT_NEAR(std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]), 0.5f, 1e-6);
    expectClosedAndOutward(shape, 8);
}

// Two groups, the first empty; two octahedra in the second, the last of size 0.
template <typename Mesh> void fill(Mesh& mesh) {
    mesh.beginGroup();
    mesh.endGroup();
    mesh.beginGroup();
    mesh.add(unitOctahedron(), 10.0f, 20.0f, 30.0f, 2.0f, {1.0f, 0.5f, 0.0f});
    mesh.add(unitOctahedron(), 0.0f, 0.0f, 0.0f, 0.0f, {0.0f, 0.0f, 2.0f});
    mesh.endGroup();
}

TEST(ExpressorMeshTest, CountingPassSizesTheWritingPass) {
    ExpressorMesh counted;
    fill(counted);
    ASSERT_EQ(counted.vertexCount(), 12u);
    ASSERT_EQ(counted.indexCount(), 48u);
    std::vector<ExpressorMesh::Vertex> vertices(counted.vertexCount());
    std::vector<std::uint32_t> indices(counted.indexCount());
    ExpressorMesh mesh(vertices.data(), indices.data());
    fill(mesh);
    ASSERT_EQ(mesh.groups().size(), 2u);
    EXPECT_EQ(mesh.groups()[0].count, 0u);
    EXPECT_EQ(mesh.groups()[1].first, 0u);
    EXPECT_EQ(mesh.groups()[1].count, 48u);
    // The second shape's indices point at its own vertices.
    EXPECT_EQ(indices[24], unitOctahedron().indices[0] + 6);
    const ExpressorMesh::Vertex& v = vertices[0];
    const auto& unit = unitOctahedron().vertices[0];
    EXPECT_FLOAT_EQ(v.position[0], 10.0f + 2.0f * unit[0]);
    EXPECT_FLOAT_EQ(v.position[2], 30.0f + 2.0f * unit[2]);
    EXPECT_EQ(v.colour[0], 255);
    EXPECT_EQ(v.colour[1], 128);
    EXPECT_EQ(v.colour[3], 255);
    // Size 0 (no expressors) is drawn degenerate; colours beyond 1 are held at 255.
    EXPECT_FLOAT_EQ(vertices[6].position[0], 0.0f);
    EXPECT_EQ(vertices[6].colour[2], 255);
}

} // namespace
} // namespace volumira

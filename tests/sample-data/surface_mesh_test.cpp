#include "sample-data/SurfaceMesh.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <random>

using namespace volumira;
using namespace volumira::sample;

namespace {

struct Solid {
    int nx, ny, nz;
    std::vector<std::uint8_t> voxels;

    Solid(int x, int y, int z) : nx(x), ny(y), nz(z), voxels(static_cast<std::size_t>(x) * y * z, 0) {}
    SurfaceGrid grid() const { return {voxels.data(), nx, ny, nz}; }
    std::uint8_t& at(int x, int y, int z) {
        return voxels[x + static_cast<std::size_t>(y) * nx + std::size_t(z) * nx * ny];
    }

    // Voxels whose centres lie within radius of centre (in voxel-boundary coordinates).
    void addSphere(double cx, double cy, double cz, double radius) {
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x) {
                    const double dx = x + 0.5 - cx, dy = y + 0.5 - cy, dz = z + 0.5 - cz;
                    if (dx * dx + dy * dy + dz * dz <= radius * radius) at(x, y, z) = 1;
                }
    }
    void addBox(int x0, int y0, int z0, int x1, int y1, int z1) {
        for (int z = z0; z < z1; ++z)
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    at(x, y, z) = 255;
    }
};

using Position = std::array<float, 3>;

// Closed and consistently wound: every directed edge occurs once and its reverse once, so every edge
// joins exactly two triangles.
::testing::AssertionResult closedAndOriented(const std::vector<Triangle>& triangles) {
    std::map<std::pair<std::int32_t, std::int32_t>, int> directed;
    for (const Triangle& t : triangles) {
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
            return ::testing::AssertionFailure() << "degenerate triangle";
        for (int r = 0; r < 3; ++r)
            ++directed[{t[r], t[(r + 1) % 3]}];
    }
    for (const auto& [edge, count] : directed) {
        if (count != 1)
            return ::testing::AssertionFailure()
                   << "edge " << edge.first << "->" << edge.second << " used " << count << " times";
        if (!directed.count({edge.second, edge.first}))
            return ::testing::AssertionFailure()
                   << "edge " << edge.first << "-" << edge.second << " has one triangle";
    }
    return ::testing::AssertionSuccess();
}

// Signed volume enclosed by the triangles; positive when they wind counter-clockwise from outside.
double enclosedVolume(const std::vector<Position>& p, const std::vector<Triangle>& triangles) {
    double volume = 0;
    for (const Triangle& t : triangles) {
        const auto& a = p[t[0]];
        const auto& b = p[t[1]];
        const auto& c = p[t[2]];
        volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
                   double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
                   double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
                  6.0;
    }
    return volume;
}

std::vector<Position> positionsOf(const Mesh& mesh) {
    std::vector<Position> out;
    for (const MeshVertex& v : mesh.vertices)
        out.push_back({v.position[0], v.position[1], v.position[2]});
    return out;
}

// Triangles compared as a multiset, each rotated to start at its smallest index (winding kept).
std::vector<Triangle> canonical(std::vector<Triangle> triangles) {
    for (Triangle& t : triangles)
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

int componentCount(std::size_t vertexCount, const std::vector<Triangle>& triangles) {
    std::vector<std::int32_t> parent(vertexCount);
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](std::int32_t v) {
        while (parent[v] != v)
            v = parent[v] = parent[parent[v]];
        return v;
    };
    for (const Triangle& t : triangles) {
        parent[find(t[1])] = find(t[0]);
        parent[find(t[2])] = find(t[0]);
    }
    int count = 0;
    for (std::size_t v = 0; v < vertexCount; ++v)
        count += find(static_cast<std::int32_t>(v)) == static_cast<std::int32_t>(v);
    return count;
}

std::pair<Position, Position> bounds(const std::vector<Position>& p) {
    Position lo = p.at(0), hi = p.at(0);
    for (const Position& q : p)
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], q[a]);
            hi[a] = std::max(hi[a], q[a]);
        }
    return {lo, hi};
}

Solid noise(int size, double density, unsigned seed) {
    Solid s(size, size, size);
    std::mt19937 random(seed);
    std::bernoulli_distribution solid(density);
    for (auto& v : s.voxels)
        v = solid(random) ? 1 : 0;
    return s;
}

} // namespace

class SphereSurface : public ::testing::TestWithParam<int> {};

TEST_P(SphereSurface, IsClosedRoundOutwardAndKeepsItsVolume) {
    const int step = GetParam();
    const double r = 15, c = 22;
    Solid s(44, 44, 44);
    s.addSphere(c, c, c, r);
    const Mesh mesh = buildSurfaceMesh(s.grid(), {step, 8});
    const auto triangles = stripTriangles(mesh.strips);
    const auto p = positionsOf(mesh);
    ASSERT_FALSE(triangles.empty());
    EXPECT_TRUE(closedAndOriented(triangles));
    EXPECT_EQ(componentCount(p.size(), triangles), 1);

    double sumDistance = 0, worst = 0;
    int inward = 0;
    for (const MeshVertex& v : mesh.vertices) {
        const double d[3] = {v.position[0] - c, v.position[1] - c, v.position[2] - c};
        const double distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        sumDistance += distance;
        worst = std::max(worst, std::abs(distance - r));
        const double n[3] = {v.normal[0], v.normal[1], v.normal[2]};
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-4);
        inward += n[0] * d[0] + n[1] * d[1] + n[2] * d[2] <= 0;
    }
    EXPECT_NEAR(sumDistance / p.size(), r, 0.3) << "smoothing must not shrink the sphere";
    EXPECT_LT(worst, 1.0);
    EXPECT_LE(inward, static_cast<int>(p.size() / 200)) << "normals point outward";
    EXPECT_NEAR(enclosedVolume(p, triangles), 4.0 / 3.0 * M_PI * r * r * r,
                0.04 * 4.0 / 3.0 * M_PI * r * r * r);
}

INSTANTIATE_TEST_SUITE_P(Steps, SphereSurface, ::testing::Values(1, 2, 3));

TEST(SurfaceMesh, AmbiguousVoxelPatternsStillGiveAClosedOrientedSurface) {
    // Random voxels produce every face and cube configuration, including the ones where solid corners
    // touch only diagonally.
    for (const auto& [step, density, seed] :
         {std::tuple{1, 0.5, 1u}, {1, 0.2, 2u}, {1, 0.8, 3u}, {2, 0.5, 4u}}) {
        const Solid s = noise(18, density, seed);
        const TriangleSurface surface = extractSurface(s.grid(), step);
        ASSERT_FALSE(surface.triangles.empty());
        EXPECT_TRUE(closedAndOriented(surface.triangles)) << "step " << step << " density " << density;
        EXPECT_GT(enclosedVolume(surface.positions, surface.triangles), 0.0);

        const Mesh mesh = buildSurfaceMesh(s.grid(), {step, 8});
        EXPECT_TRUE(closedAndOriented(stripTriangles(mesh.strips)));
    }
}

TEST(SurfaceMesh, UnsmoothedSurfaceFollowsVoxelBoundaries) {
    // A single voxel at step 1 is cut at its face centres; a 2x2x2 block at step 2 likewise.
    Solid one(5, 5, 5);
    one.at(2, 2, 2) = 1;
    const auto single = extractSurface(one.grid(), 1);
    EXPECT_TRUE(closedAndOriented(single.triangles));
    EXPECT_EQ(bounds(single.positions), (std::pair<Position, Position>{{2, 2, 2}, {3, 3, 3}}));

    Solid block(8, 8, 8);
    block.addBox(2, 4, 2, 4, 6, 4);
    const auto coarse = extractSurface(block.grid(), 2);
    EXPECT_TRUE(closedAndOriented(coarse.triangles));
    EXPECT_EQ(bounds(coarse.positions), (std::pair<Position, Position>{{2, 4, 2}, {4, 6, 4}}));
}

TEST(SurfaceMesh, SolidsTouchingTheGridBorderAreClosed) {
    Solid s(20, 16, 24);
    s.addBox(0, 0, 18, 10, 16, 24); // touches x = 0, both y sides and the far z side
    s.addBox(14, 4, 0, 20, 12, 6);  // touches the far x side and z = 0
    for (const int step : {1, 2, 4}) {
        const TriangleSurface raw = extractSurface(s.grid(), step);
        EXPECT_TRUE(closedAndOriented(raw.triangles)) << step;
        EXPECT_EQ(componentCount(raw.positions.size(), raw.triangles), 2) << step;
        const auto [lo, hi] = bounds(raw.positions);
        EXPECT_EQ(lo, (Position{0, 0, 0})) << step;
        EXPECT_EQ(hi, (Position{20, 16, 24})) << step;

        const Mesh mesh = buildSurfaceMesh(s.grid(), {step, 8});
        EXPECT_TRUE(closedAndOriented(stripTriangles(mesh.strips))) << step;
        const auto [slo, shi] = bounds(positionsOf(mesh));
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(slo[a], lo[a], 1.5) << step;
            EXPECT_NEAR(shi[a], hi[a], 1.5) << step;
        }
    }
}

TEST(SurfaceMesh, SeparateBlobsGiveSeparateClosedSurfaces) {
    Solid s(60, 30, 30);
    s.addSphere(14, 15, 15, 8);
    s.addSphere(44, 15, 15, 10);
    const Mesh mesh = buildSurfaceMesh(s.grid(), {});
    const auto triangles = stripTriangles(mesh.strips);
    EXPECT_TRUE(closedAndOriented(triangles));
    EXPECT_EQ(componentCount(mesh.vertices.size(), triangles), 2);
    int left = 0, right = 0;
    for (const MeshVertex& v : mesh.vertices) {
        EXPECT_TRUE(v.position[0] < 24 || v.position[0] > 32) << "no vertex between the blobs";
        (v.position[0] < 30 ? left : right)++;
    }
    EXPECT_GT(right, left) << "the larger sphere has more surface";
}

TEST(SurfaceMesh, StripsHoldExactlyTheTrianglesTheyWereMadeFrom) {
    Solid s = noise(16, 0.5, 7);
    const TriangleSurface surface = extractSurface(s.grid(), 1);
    const auto strips = stripify(surface.triangles, surface.positions.size());
    EXPECT_EQ(canonical(stripTriangles(strips)), canonical(surface.triangles));

    Solid sphere(40, 40, 40);
    sphere.addSphere(20, 20, 20, 16);
    const TriangleSurface round = extractSurface(sphere.grid(), 2);
    const auto roundStrips = stripify(round.triangles, round.positions.size());
    EXPECT_EQ(canonical(stripTriangles(roundStrips)), canonical(round.triangles));
    EXPECT_LT(roundStrips.size() * 3, round.triangles.size()) << "strips average more than three triangles";

    EXPECT_THROW(stripify({{0, 1, 5}}, 5), std::invalid_argument);
}

TEST(SurfaceMesh, EmptyInputGivesAnEmptyMeshAndBadInputIsRefused) {
    Solid empty(30, 20, 10);
    for (const int step : {1, 2, 7}) {
        const Mesh mesh = buildSurfaceMesh(empty.grid(), {step, 8});
        EXPECT_TRUE(mesh.vertices.empty());
        EXPECT_TRUE(mesh.strips.empty());
    }
    EXPECT_TRUE(buildSurfaceMesh({nullptr, 0, 5, 5}, {}).vertices.empty());

    Solid one(4, 4, 4);
    one.at(1, 1, 1) = 1;
    EXPECT_THROW(buildSurfaceMesh(one.grid(), {0, 8}), std::invalid_argument);
    EXPECT_THROW(buildSurfaceMesh(one.grid(), {2, -1}), std::invalid_argument);
    EXPECT_THROW(buildSurfaceMesh({nullptr, 4, 4, 4}, {}), std::invalid_argument);
    EXPECT_THROW(buildSurfaceMesh({one.voxels.data(), -4, 4, 4}, {}), std::invalid_argument);
}

TEST(SurfaceMesh, WrittenMeshReadsBackUnchanged) {
    test::TempDir dir;
    Solid s(50, 30, 40);
    s.addSphere(25, 15, 20, 12);
    s.addBox(5, 5, 5, 15, 25, 12);
    const Mesh mesh = buildSurfaceMesh(s.grid(), {});
    const std::string path = dir.file("solid.msh");
    mesh.writeMesh(path);
    Mesh back;
    back.readMesh(path);
    ASSERT_EQ(back.vertices.size(), mesh.vertices.size());
    EXPECT_EQ(
        std::memcmp(back.vertices.data(), mesh.vertices.data(), mesh.vertices.size() * sizeof(MeshVertex)),
        0);
    EXPECT_EQ(back.strips, mesh.strips);
}

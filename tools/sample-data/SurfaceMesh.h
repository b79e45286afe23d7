#pragma once

// Closed, smoothed surfaces of solids in a voxel grid, packed as triangle strips for the structure meshes.

#include "atlas/Mesh.h"

#include <array>
#include <cstdint>
#include <vector>

namespace volumira::sample {

// A voxel solid: inside[x + y*nx + z*nx*ny] != 0 marks the voxels that belong to it, x fastest.
struct SurfaceGrid {
    const std::uint8_t* inside = nullptr;
    int nx = 0, ny = 0, nz = 0;
};

struct SurfaceOptions {
    // The solid is sampled on blocks of step^3 voxels: a block counts as solid when at least half of its
    // voxels are, and the surface crosses the block edges where the solid fraction passes one half.
    int step = 2;
    // Taubin smoothing passes (one shrinking and one inflating step each).
    int smoothingIterations = 8;
};

using Triangle = std::array<std::int32_t, 3>;

// A welded triangle surface; triangles wind counter-clockwise seen from outside the solid.
struct TriangleSurface {
    std::vector<std::array<float, 3>> positions;
    std::vector<Triangle> triangles;
};

// The closed surface between solid and empty blocks, in fine-grid voxel units (voxel (i,j,k) spans
// [i,i+1) x [j,j+1) x [k,k+1)), unsmoothed. Surfaces touching the grid's border are closed there.
// Throws std::invalid_argument for a step below 1, negative sizes or missing voxels.
TriangleSurface extractSurface(const SurfaceGrid& grid, int step);

// Taubin lambda/mu smoothing, which removes the voxel steps without shrinking the solid much.
void smoothSurface(TriangleSurface& surface, int iterations);

// Unit normals pointing out of the solid, from the area-weighted normals of the adjacent triangles.
std::vector<std::array<float, 3>> vertexNormals(const TriangleSurface& surface);

// Packs triangles into strips (at most 65535 indices each) that keep every triangle's winding.
std::vector<std::vector<std::int32_t>> stripify(const std::vector<Triangle>& triangles,
                                                std::size_t vertexCount);

// The triangles a list of strips stands for, each in its true winding.
std::vector<Triangle> stripTriangles(const std::vector<std::vector<std::int32_t>>& strips);

// extractSurface, smoothSurface, vertexNormals and stripify in one: the mesh written for a structure.
Mesh buildSurfaceMesh(const SurfaceGrid& grid, const SurfaceOptions& options);

} // namespace volumira::sample

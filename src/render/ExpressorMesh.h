#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace volumira {

// A solid as indexed triangles, counter-clockwise from outside; each vertex's normal is its direction
// from the centre.
struct IndexedShape {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<float, 3>> normals;
    std::vector<std::uint32_t> indices;
};

// The regular icosahedron of circumradius 1 and the octahedron with vertices at ±0.5 on each axis,
// generated from their symmetry: the faces are the triples of mutually nearest vertices.
const IndexedShape& unitIcosahedron();
const IndexedShape& unitOctahedron();

// The expressors of one pass as vertices and indices written straight into the caller's storage (a
// mapped GL buffer or client memory), with one index range per structure group so that each group is
// drawn (or filtered out) with one call. Without storage it only counts, so that a first pass can size
// the storage exactly.
class ExpressorMesh {
  public:
    struct Vertex {
        float position[3];
        float normal[3];
        std::uint8_t colour[4];
    };
    struct Range {
        std::uint32_t first = 0, count = 0;
    };

    ExpressorMesh() = default;
    ExpressorMesh(Vertex* vertices, std::uint32_t* indices) : vertices_(vertices), indices_(indices) {}

    void beginGroup();
    void endGroup();
    // Appends the shape scaled by `scale` at (x, y, z) in the colour given (used only when the mesh is
    // drawn with colours).
    void add(const IndexedShape& shape, float x, float y, float z, float scale,
             const std::array<float, 3>& colour);

    std::size_t vertexCount() const { return vertexCount_; }
    std::size_t indexCount() const { return indexCount_; }
    const std::vector<Range>& groups() const { return groups_; }

  private:
    Vertex* vertices_ = nullptr;
    std::uint32_t* indices_ = nullptr;
    std::size_t vertexCount_ = 0, indexCount_ = 0;
    std::vector<Range> groups_;
};

} // namespace volumira

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace volumira {

// One vertex record of a structure mesh file: the normal first, then the position.
struct MeshVertex {
    float normal[3];
    float position[3];
};

// A structure surface as triangle strips over a shared vertex list, read from and written to ".msh" files.
class Mesh {
  public:
    std::vector<MeshVertex> vertices;
    // A strip of n >= 3 indices stands for the triangles (k, k+1, k+2), k = 0 .. n-3, every second one
    // with its winding reversed as in a GL triangle strip; shorter strips stand for nothing.
    std::vector<std::vector<std::int32_t>> strips;

    // Replaces the contents with the file's. Throws "Mesh file could not be opened: " + path, or
    // "Error while reading mesh file: " + path for a short or inconsistent file (counts beyond the file's
    // size, negative counts, an index outside the vertex list); the mesh is left unchanged then.
    void readMesh(const std::string& path);

    // Multiplies every position by factor; normals stay as they are.
    void scalePositions(float factor);

    // Writes the file layout readMesh reads, little-endian. Strips longer than the 16-bit index count allows
    // are split into several with the same triangles and winding. The file is written under a temporary
    // name and moved into place, so a failure throws and leaves no partial file; an index outside the
    // vertex list throws std::invalid_argument before anything is written.
    void writeMesh(const std::string& path) const;

    std::size_t triangleCount() const;
};

} // namespace volumira

#pragma once

namespace volumira {

class Mesh;

// Sends the mesh to the GL, normal before position for every vertex. The leading run of short strips
// (at most five indices) goes out as one batch of separate triangles, each keeping the winding it has in
// its strip; the strips from the first longer one on are sent as triangle strips.
void emitGl(const Mesh& mesh);

// The axis-aligned box around a mesh's positions; empty for a mesh without vertices.
struct MeshBounds {
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    bool empty = true;
};
MeshBounds boundsOf(const Mesh& mesh);

// True when the box lies wholly outside the clip volume of clip = matrix * position (column-major, as
// glGetFloatv returns it), so nothing inside it can be drawn or picked. An empty box is outside.
bool boxOutsideClipVolume(const float matrix[16], const MeshBounds& box);

} // namespace volumira

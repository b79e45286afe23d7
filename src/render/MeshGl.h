#pragma once

namespace volumira {

class Mesh;

// Sends the mesh to the GL, normal before position for every vertex. The leading run of short strips
// (at most five indices) goes out as one batch of separate triangles, each keeping the winding it has in
// its strip; the strips from the first longer one on are sent as triangle strips.
void emitGl(const Mesh& mesh);

} // namespace volumira

#pragma once

namespace volumira {

// Solid shapes drawn in immediate mode with their normals, for expressors and markers.
struct BoxShape {
    // The unit cube (corners +-0.5) scaled by (sx, sy, sz) and centred at (x, y, z): six quads, each its
    // own begin/end.
    static void box(float x, float y, float z, float sx, float sy, float sz);
    static void cube(float x, float y, float z, float s) { box(x, y, z, s, s, s); }
};

struct OctahedronShape {
    // Vertices at +-0.5 on each axis scaled by s. asTriangles sends the eight faces as triangles inside
    // the caller's GL_TRIANGLES batch; otherwise two triangle fans with their own begin/end.
    static void octahedron(float x, float y, float z, float s, bool asTriangles);
};

struct RectangleShape {
    // An axis-aligned quad in the z = 0 plane, for overlays drawn in window coordinates.
    static void fill(float x0, float y0, float x1, float y1);
    // Its border as one line loop.
    static void outline(float x0, float y0, float x1, float y1);
};

struct IcosahedronShape {
    // The regular icosahedron of circumradius r, each vertex normal its unit position. ownBatch wraps the
    // twenty triangles in their own begin/end; otherwise they go into the caller's GL_TRIANGLES batch.
    static void icosahedron(float x, float y, float z, float r, bool ownBatch);
};

} // namespace volumira

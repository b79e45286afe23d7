#include "sample-data/SurfaceMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace volumira::sample {

namespace {

// ---- The marching-cubes case table, derived from the cube's geometry rather than typed in ----
//
// Corner c sits at (c & 1, c >> 1 & 1, c >> 2 & 1). Edge e runs along axis e / 4; bits 0 and 1 of e are its
// offsets along the two other axes in increasing order. On a face whose four corners alternate between
// solid and empty, the solid corners are cut off separately; both cubes that share the face decide alike,
// so the surface closes. Each face segment is directed so that, seen from outside the cube, the solid lies
// to its right; the segments then chain into loops that wind counter-clockwise seen from the empty side.

struct Vec3 {
    double x, y, z;
};

Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double& component(Vec3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

std::array<int, 2> otherAxes(int axis) {
    return axis == 0 ? std::array{1, 2} : axis == 1 ? std::array{0, 2} : std::array{0, 1};
}

Vec3 cornerPosition(int corner) {
    return {double(corner & 1), double(corner >> 1 & 1), double(corner >> 2 & 1)};
}

int edgeCorner(int edge, int end) {
    const int axis = edge / 4;
    const auto [b, c] = otherAxes(axis);
    return end << axis | (edge & 1) << b | (edge >> 1 & 1) << c;
}

Vec3 edgeMidpoint(int edge) {
    Vec3 p = cornerPosition(edgeCorner(edge, 0));
    component(p, edge / 4) = 0.5;
    return p;
}

// The two faces (axis * 2 + side) an edge lies on.
std::array<int, 2> edgeFaces(int edge) {
    const auto [b, c] = otherAxes(edge / 4);
    return {b * 2 + (edge & 1), c * 2 + (edge >> 1 & 1)};
}

bool shareFace(int e1, int e2) {
    const auto f1 = edgeFaces(e1), f2 = edgeFaces(e2);
    return f1[0] == f2[0] || f1[0] == f2[1] || f1[1] == f2[0] || f1[1] == f2[1];
}

struct CaseLoop {
    std::vector<std::uint8_t> edges; // in winding order
    int apex = 0;                    // the loop is triangulated as a fan from this position
};

using CaseTable = std::array<std::vector<CaseLoop>, 256>;

// A fan from the apex adds diagonals inside the cube; none may join two points of one face, where the
// neighbouring cube could add the same diagonal and an edge would end up in four triangles. Every loop of
// this table has such an apex (checked when the table is built).
int chooseApex(const std::vector<std::uint8_t>& loop) {
    const int m = static_cast<int>(loop.size());
    if (m == 3) return 0;
    for (int apex = 0; apex < m; ++apex) {
        bool clean = true;
        for (int t = 2; t < m - 1 && clean; ++t)
            clean = !shareFace(loop[apex], loop[(apex + t) % m]);
        if (clean) return apex;
    }
    throw std::logic_error("surface case loop without a clean fan");
}

std::vector<CaseLoop> buildCase(int mask) {
    const auto solid = [mask](int corner) { return (mask >> corner & 1) != 0; };
    const auto crosses = [&](int edge) { return solid(edgeCorner(edge, 0)) != solid(edgeCorner(edge, 1)); };
    std::array<int, 12> next;
    next.fill(-1);
    std::array<int, 12> incoming{};

    for (int face = 0; face < 6; ++face) {
        const int axis = face / 2, side = face & 1;
        std::vector<int> faceEdges;
        for (int e = 0; e < 12; ++e) {
            const auto f = edgeFaces(e);
            if (f[0] == face || f[1] == face) faceEdges.push_back(e);
        }
        std::vector<std::array<int, 2>> segments;
        std::vector<int> crossing;
        for (const int e : faceEdges)
            if (crosses(e)) crossing.push_back(e);
        if (crossing.size() == 2) {
            segments.push_back({crossing[0], crossing[1]});
        } else if (crossing.size() == 4) {
            for (int corner = 0; corner < 8; ++corner) {
                if ((corner >> axis & 1) != side || !solid(corner)) continue;
                std::vector<int> around;
                for (const int e : faceEdges)
                    if (edgeCorner(e, 0) == corner || edgeCorner(e, 1) == corner) around.push_back(e);
                segments.push_back({around[0], around[1]});
            }
        }
        Vec3 normal{0, 0, 0};
        component(normal, axis) = side ? 1.0 : -1.0;
        for (auto [e1, e2] : segments) {
            // Reference corner: the one the segment cuts off, or any corner when it halves the face.
            int reference = edgeCorner(e1, 0);
            for (int end = 0; end < 2; ++end)
                if (edgeCorner(e1, end) == edgeCorner(e2, 0) || edgeCorner(e1, end) == edgeCorner(e2, 1))
                    reference = edgeCorner(e1, end);
            const Vec3 a = edgeMidpoint(e1), b = edgeMidpoint(e2);
            const Vec3 mid{(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
            const double side_ = dot(cross(b - a, normal), cornerPosition(reference) - mid);
            if ((side_ > 0) != solid(reference)) std::swap(e1, e2);
            if (next[e1] != -1) throw std::logic_error("inconsistent surface case table");
            next[e1] = e2;
            ++incoming[e2];
        }
    }

    std::vector<CaseLoop> loops;
    std::array<bool, 12> done{};
    for (int e = 0; e < 12; ++e) {
        if (!crosses(e) || done[e]) continue;
        if (next[e] == -1 || incoming[e] != 1) throw std::logic_error("inconsistent surface case table");
        CaseLoop loop;
        for (int at = e; !done[at]; at = next[at]) {
            done[at] = true;
            loop.edges.push_back(static_cast<std::uint8_t>(at));
        }
        loop.apex = chooseApex(loop.edges);
        loops.push_back(std::move(loop));
    }
    return loops;
}

const CaseTable& caseTable() {
    static const CaseTable table = [] {
        CaseTable t;
        for (int mask = 0; mask < 256; ++mask)
            t[mask] = buildCase(mask);
        return t;
    }();
    return table;
}

// ---- The solid's extent ----

struct Box {
    int lo[3], hi[3]; // inclusive voxel bounds
};

std::size_t firstNonZero(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word) break;
    }
    for (; i < n; ++i)
        if (p[i]) return i;
    return n;
}

std::size_t lastNonZero(const std::uint8_t* p, std::size_t n) {
    std::size_t i = n;
    for (; i >= 8; i -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i - 8, 8);
        if (word) break;
    }
    while (i > 0)
        if (p[--i]) return i;
    return n;
}

// False when the grid holds no solid voxel.
bool solidBounds(const SurfaceGrid& grid, Box& box) {
    const auto nx = static_cast<std::size_t>(grid.nx), ny = static_cast<std::size_t>(grid.ny);
    bool found = false;
    for (int z = 0; z < grid.nz; ++z) {
        for (int y = 0; y < grid.ny; ++y) {
            const std::uint8_t* row = grid.inside + (static_cast<std::size_t>(z) * ny + y) * nx;
            const std::size_t first = firstNonZero(row, nx);
            if (first == nx) continue;
            const auto last = static_cast<int>(lastNonZero(row, nx));
            if (!found) {
                box = {{static_cast<int>(first), y, z}, {last, y, z}};
                found = true;
                continue;
            }
            box.lo[0] = std::min(box.lo[0], static_cast<int>(first));
            box.hi[0] = std::max(box.hi[0], last);
            box.lo[1] = std::min(box.lo[1], y);
            box.hi[1] = std::max(box.hi[1], y);
            box.hi[2] = z;
        }
    }
    return found;
}

void validate(const SurfaceGrid& grid, int step) {
    if (step < 1) throw std::invalid_argument("The surface sampling step must be at least 1.");
    if (grid.nx < 0 || grid.ny < 0 || grid.nz < 0)
        throw std::invalid_argument("The surface grid has a negative size.");
    if (grid.nx > 0 && grid.ny > 0 && grid.nz > 0 && !grid.inside)
        throw std::invalid_argument("The surface grid has no voxels.");
}

// ---- Surface extraction on the block-sampled field ----

class Extractor {
  public:
    Extractor(const SurfaceGrid& grid, const Box& box, int step) : grid_(grid), box_(box), step_(step) {
        for (int a = 0; a < 3; ++a) {
            // Aligned to multiples of the step, so that neighbouring solids are sampled on the same lattice.
            origin_[a] = box.lo[a] / step * step;
            // One empty sample layer on each side closes surfaces that touch the box or the grid's border.
            dims_[a] = (box.hi[a] - origin_[a]) / step + 3;
        }
        plane_ = static_cast<std::size_t>(dims_[0]) * dims_[1];
    }

    TriangleSurface run() {
        sampleField();
        march();
        return std::move(surface_);
    }

  private:
    // field_[p] is the block's solid fraction scaled to 0..255, rounded so that the top bit is set exactly
    // when at least half of the block is solid; padding stays 0.
    void sampleField() {
        field_.assign(plane_ * dims_[2], 0);
        const int sx = dims_[0] - 2, sy = dims_[1] - 2, sz = dims_[2] - 2;
        const std::uint64_t blockVoxels = std::uint64_t(step_) * step_ * step_;
        const auto nx = static_cast<std::size_t>(grid_.nx), ny = static_cast<std::size_t>(grid_.ny);
        std::vector<std::uint64_t> counts(sx);
        for (int k = 0; k < sz; ++k) {
            const int z0 = origin_[2] + k * step_, z1 = std::min(z0 + step_, box_.hi[2] + 1);
            for (int j = 0; j < sy; ++j) {
                const int y0 = origin_[1] + j * step_, y1 = std::min(y0 + step_, box_.hi[1] + 1);
                std::fill(counts.begin(), counts.end(), 0);
                for (int z = z0; z < z1; ++z) {
                    for (int y = y0; y < y1; ++y) {
                        const std::uint8_t* row = grid_.inside + (static_cast<std::size_t>(z) * ny + y) * nx;
                        for (int i = 0; i < sx; ++i) {
                            const int x0 = origin_[0] + i * step_, x1 = std::min(x0 + step_, box_.hi[0] + 1);
                            std::uint64_t n = 0;
                            for (int x = x0; x < x1; ++x)
                                n += row[x] != 0;
                            counts[i] += n;
                        }
                    }
                }
                std::uint8_t* out =
                    field_.data() + (k + 1) * plane_ + static_cast<std::size_t>(j + 1) * dims_[0] + 1;
                for (int i = 0; i < sx; ++i)
                    out[i] = static_cast<std::uint8_t>((510 * counts[i] + blockVoxels) / (2 * blockVoxels));
            }
        }
    }

    // Position of sample coordinate s (padded index, may be fractional) along an axis, in fine voxels:
    // sample i stands for the block centre.
    float coordinate(int axis, double s) const {
        return static_cast<float>(origin_[axis] + (s - 1.0) * step_ + 0.5 * step_);
    }

    std::int32_t addVertex(float x, float y, float z) {
        if (surface_.positions.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::length_error("The surface has too many vertices.");
        surface_.positions.push_back({x, y, z});
        return static_cast<std::int32_t>(surface_.positions.size() - 1);
    }

    // The vertex on edge e of cell (i, j, k), shared with the cells around that edge. It sits where the
    // solid fraction, interpolated along the edge, crosses one half, so partly filled blocks place the
    // surface between samples; it is kept off the samples themselves so that no triangle collapses.
    std::int32_t edgeVertex(int e, int i, int j, int k) {
        const int axis = e / 4, o1 = e & 1, o2 = e >> 1 & 1;
        int p[3] = {i, j, k};
        std::int32_t* slot;
        if (axis == 0) {
            p[1] += o1, p[2] += o2;
            slot = &layers_[p[2] & 1][(static_cast<std::size_t>(p[1]) * dims_[0] + p[0]) * 2];
        } else if (axis == 1) {
            p[0] += o1, p[2] += o2;
            slot = &layers_[p[2] & 1][(static_cast<std::size_t>(p[1]) * dims_[0] + p[0]) * 2 + 1];
        } else {
            p[0] += o1, p[1] += o2;
            slot = &zEdges_[static_cast<std::size_t>(p[1]) * dims_[0] + p[0]];
        }
        if (*slot < 0) {
            const std::size_t at = p[2] * plane_ + static_cast<std::size_t>(p[1]) * dims_[0] + p[0];
            const std::size_t along = axis == 0 ? 1 : axis == 1 ? static_cast<std::size_t>(dims_[0]) : plane_;
            const double a = field_[at], b = field_[at + along];
            const double t = std::clamp((127.5 - a) / (b - a), 0.05, 0.95);
            double s[3] = {double(p[0]), double(p[1]), double(p[2])};
            s[axis] += t;
            *slot = addVertex(coordinate(0, s[0]), coordinate(1, s[1]), coordinate(2, s[2]));
        }
        return *slot;
    }

    void march() {
        const CaseTable& table = caseTable();
        layers_[0].assign(plane_ * 2, -1);
        layers_[1].assign(plane_ * 2, -1);
        zEdges_.assign(plane_, -1);
        const std::size_t dx = 1, dy = dims_[0], dz = plane_;
        std::vector<std::int32_t> ring;
        for (int k = 0; k + 1 < dims_[2]; ++k) {
            if (k > 0) {
                // Layer k+1 reuses the storage of layer k-1, which no later cell touches.
                std::fill(layers_[(k + 1) & 1].begin(), layers_[(k + 1) & 1].end(), -1);
                std::fill(zEdges_.begin(), zEdges_.end(), -1);
            }
            for (int j = 0; j + 1 < dims_[1]; ++j) {
                const std::uint8_t* f = field_.data() + k * plane_ + static_cast<std::size_t>(j) * dims_[0];
                for (int i = 0; i + 1 < dims_[0]; ++i, ++f) {
                    const int mask = f[0] >> 7 | f[dx] >> 7 << 1 | f[dy] >> 7 << 2 | f[dx + dy] >> 7 << 3 |
                                     f[dz] >> 7 << 4 | f[dz + dx] >> 7 << 5 | f[dz + dy] >> 7 << 6 |
                                     f[dz + dx + dy] >> 7 << 7;
                    if (mask == 0 || mask == 255) continue;
                    for (const CaseLoop& loop : table[mask]) {
                        ring.clear();
                        for (const std::uint8_t e : loop.edges)
                            ring.push_back(edgeVertex(e, i, j, k));
                        emitLoop(ring, loop.apex);
                    }
                }
            }
        }
    }

    void emitLoop(const std::vector<std::int32_t>& ring, int apex) {
        const int m = static_cast<int>(ring.size());
        for (int t = 1; t + 1 < m; ++t)
            surface_.triangles.push_back({ring[apex], ring[(apex + t) % m], ring[(apex + t + 1) % m]});
    }

    const SurfaceGrid& grid_;
    Box box_;
    int step_;
    int origin_[3];
    int dims_[3];
    std::size_t plane_;
    std::vector<std::uint8_t> field_;
    // Vertex ids of the x and y edges of two sample layers (by layer parity), and of the z edges between
    // the current pair of layers.
    std::vector<std::int32_t> layers_[2];
    std::vector<std::int32_t> zEdges_;
    TriangleSurface surface_;
};

// ---- Strips ----

constexpr std::size_t kMaxStripIndices = 65535;

class Stripifier {
  public:
    Stripifier(const std::vector<Triangle>& triangles, std::size_t vertexCount)
        : tris_(triangles), first_(vertexCount + 1, 0), used_(triangles.size(), 0),
          stamp_(triangles.size(), 0) {
        for (const Triangle& t : tris_)
            for (const std::int32_t v : t) {
                if (v < 0 || static_cast<std::size_t>(v) >= vertexCount)
                    throw std::invalid_argument("A triangle refers to a vertex that does not exist.");
                ++first_[v + 1];
            }
        for (std::size_t v = 0; v < vertexCount; ++v)
            first_[v + 1] += first_[v];
        incident_.resize(tris_.size() * 3);
        std::vector<std::size_t> fill(first_.begin(), first_.end() - 1);
        for (std::size_t t = 0; t < tris_.size(); ++t)
            for (const std::int32_t v : tris_[t])
                incident_[fill[v]++] = static_cast<std::int32_t>(t);
    }

    std::vector<std::vector<std::int32_t>> run() {
        std::vector<std::vector<std::int32_t>> strips;
        std::vector<std::int32_t> strip, best, members, bestMembers;
        for (std::size_t t = 0; t < tris_.size(); ++t) {
            if (used_[t]) continue;
            best.clear();
            bestMembers.clear();
            // Any rotation of the first triangle keeps its winding; keep the one that leads furthest.
            for (int rotation = 0; rotation < 3; ++rotation) {
                grow(static_cast<std::int32_t>(t), rotation, strip, members);
                if (members.size() > bestMembers.size()) {
                    best.swap(strip);
                    bestMembers.swap(members);
                }
            }
            for (const std::int32_t m : bestMembers)
                used_[m] = 1;
            strips.push_back(best);
        }
        return strips;
    }

  private:
    // The unused triangle holding the directed edge u -> v that the current strip has not taken yet.
    std::int32_t across(std::int32_t u, std::int32_t v, std::int32_t& third) const {
        for (std::size_t i = first_[u]; i < first_[u + 1]; ++i) {
            const std::int32_t t = incident_[i];
            if (used_[t] || stamp_[t] == currentStamp_) continue;
            const Triangle& tri = tris_[t];
            for (int r = 0; r < 3; ++r)
                if (tri[r] == u && tri[(r + 1) % 3] == v) {
                    third = tri[(r + 2) % 3];
                    return t;
                }
        }
        return -1;
    }

    void grow(std::int32_t start, int rotation, std::vector<std::int32_t>& strip,
              std::vector<std::int32_t>& members) {
        ++currentStamp_;
        const Triangle& tri = tris_[start];
        strip.assign({tri[rotation], tri[(rotation + 1) % 3], tri[(rotation + 2) % 3]});
        members.assign({start});
        stamp_[start] = currentStamp_;
        while (strip.size() < kMaxStripIndices) {
            const std::size_t m = strip.size();
            // Triangle m-2 of a strip winds backwards when m-2 is odd, so it holds the last edge reversed.
            const bool odd = (m - 2) % 2 == 1;
            const std::int32_t u = odd ? strip[m - 1] : strip[m - 2], v = odd ? strip[m - 2] : strip[m - 1];
            std::int32_t w;
            const std::int32_t t = across(u, v, w);
            if (t < 0) break;
            stamp_[t] = currentStamp_;
            strip.push_back(w);
            members.push_back(t);
        }
    }

    const std::vector<Triangle>& tris_;
    std::vector<std::size_t> first_;
    std::vector<std::int32_t> incident_;
    std::vector<std::uint8_t> used_;
    std::vector<std::uint32_t> stamp_;
    std::uint32_t currentStamp_ = 0;
};

} // namespace

TriangleSurface extractSurface(const SurfaceGrid& grid, int step) {
    validate(grid, step);
    if (grid.nx == 0 || grid.ny == 0 || grid.nz == 0) return {};
    Box box;
    if (!solidBounds(grid, box)) return {};
    return Extractor(grid, box, step).run();
}

void smoothSurface(TriangleSurface& surface, int iterations) {
    if (iterations < 0) throw std::invalid_argument("The number of smoothing passes cannot be negative.");
    auto& p = surface.positions;
    const std::size_t n = p.size();
    // In a closed, consistently wound surface every neighbour of a vertex follows it along exactly one
    // triangle edge, so summing over directed edges visits each neighbour once.
    std::vector<float> degree(n, 0.0f);
    for (const Triangle& t : surface.triangles)
        for (const std::int32_t v : t)
            degree[v] += 1.0f;
    std::vector<std::array<float, 3>> sum(n);
    constexpr float kLambda = 0.5f, kMu = -0.53f;
    for (int pass = 0; pass < iterations; ++pass) {
        for (const float factor : {kLambda, kMu}) {
            std::fill(sum.begin(), sum.end(), std::array<float, 3>{0, 0, 0});
            for (const Triangle& t : surface.triangles)
                for (int r = 0; r < 3; ++r) {
                    const auto& q = p[t[(r + 1) % 3]];
                    auto& s = sum[t[r]];
                    s[0] += q[0], s[1] += q[1], s[2] += q[2];
                }
            for (std::size_t v = 0; v < n; ++v) {
                if (degree[v] == 0) continue;
                for (int a = 0; a < 3; ++a)
                    p[v][a] += factor * (sum[v][a] / degree[v] - p[v][a]);
            }
        }
    }
}

std::vector<std::array<float, 3>> vertexNormals(const TriangleSurface& surface) {
    const auto& p = surface.positions;
    std::vector<std::array<double, 3>> sum(p.size(), {0, 0, 0});
    for (const Triangle& t : surface.triangles) {
        const auto& a = p[t[0]];
        const auto& b = p[t[1]];
        const auto& c = p[t[2]];
        const Vec3 u{double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
        const Vec3 w{double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
        const Vec3 n = cross(u, w); // twice the area, so larger triangles weigh more
        for (const std::int32_t v : t) {
            sum[v][0] += n.x, sum[v][1] += n.y, sum[v][2] += n.z;
        }
    }
    std::vector<std::array<float, 3>> normals(p.size());
    for (std::size_t v = 0; v < p.size(); ++v) {
        const double length =
            std::sqrt(sum[v][0] * sum[v][0] + sum[v][1] * sum[v][1] + sum[v][2] * sum[v][2]);
        if (length > 0 && std::isfinite(length))
            normals[v] = {float(sum[v][0] / length), float(sum[v][1] / length), float(sum[v][2] / length)};
        else
            normals[v] = {0, 0, 1}; // only around collapsed triangles; any unit vector lights them
    }
    return normals;
}

std::vector<std::vector<std::int32_t>> stripify(const std::vector<Triangle>& triangles,
                                                std::size_t vertexCount) {
    return Stripifier(triangles, vertexCount).run();
}

std::vector<Triangle> stripTriangles(const std::vector<std::vector<std::int32_t>>& strips) {
    std::vector<Triangle> triangles;
    for (const auto& s : strips)
        for (std::size_t k = 0; k + 2 < s.size(); ++k)
            triangles.push_back(k % 2 == 0 ? Triangle{s[k], s[k + 1], s[k + 2]}
                                           : Triangle{s[k + 1], s[k], s[k + 2]});
    return triangles;
}

Mesh buildSurfaceMesh(const SurfaceGrid& grid, const SurfaceOptions& options) {
    if (options.smoothingIterations < 0)
        throw std::invalid_argument("The number of smoothing passes cannot be negative.");
    TriangleSurface surface = extractSurface(grid, options.step);
    smoothSurface(surface, options.smoothingIterations);
    const auto normals = vertexNormals(surface);
    Mesh mesh;
    mesh.vertices.resize(surface.positions.size());
    for (std::size_t v = 0; v < surface.positions.size(); ++v)
        for (int a = 0; a < 3; ++a) {
            mesh.vertices[v].normal[a] = normals[v][a];
            mesh.vertices[v].position[a] = surface.positions[v][a];
        }
    mesh.strips = stripify(surface.triangles, surface.positions.size());
    return mesh;
}

} // namespace volumira::sample

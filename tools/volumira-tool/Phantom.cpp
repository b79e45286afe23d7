#include "volumira-tool/Phantom.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace volumira::tool {

namespace {

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ z * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

} // namespace

Image3d makePhantom(int nx, int ny, int nz, float spacing) {
    Image3d image(nx, ny, nz, spacing);
    std::uint8_t* voxels = image.data();
    // Axis 0 runs front to back, 1 top to bottom, 2 left to right.
    const double cx = nx * 0.5, cy = ny * 0.48, cz = nz * 0.5;
    const double rx = nx * 0.46, ry = ny * 0.40, rz = nz * 0.44;
    for (int z = 0; z < nz; ++z) {
        const double dz = (z - cz) / rz;
        // Two hemispheres: a shallow midline groove on top.
        const double groove = 0.08 * std::exp(-dz * dz * 400.0);
        for (int y = 0; y < ny; ++y) {
            const double dy = (y - cy) / ry;
            std::uint8_t* row =
                voxels + static_cast<std::size_t>(z) * nx * ny + static_cast<std::size_t>(y) * nx;
            for (int x = 0; x < nx; ++x) {
                const double dx = (x - cx) / rx;
                // Taper towards the back and the bottom, like a cerebrum above a narrower brain stem.
                const double taper = 1.0 + 0.35 * std::max(0.0, dx) * std::max(0.0, -dy);
                const double r = std::sqrt(dx * dx + dy * dy * taper + dz * dz) + groove * std::max(0.0, -dy);
                double value = 0.0;
                if (r < 1.0) {
                    const double depth = 1.0 - r;
                    if (depth < 0.12)
                        value = 150.0 + 40.0 * std::sin(depth * 160.0); // layered cortex
                    else
                        value = 95.0 + 30.0 * std::sin(dx * 9.0) * std::cos(dy * 7.0); // deep grey and white
                    const double vy = (y - cy * 0.95) / (ry * 0.12),
                                 vz = (std::abs(z - cz) - rz * 0.18) / (rz * 0.06);
                    const double vx = (x - cx) / (rx * 0.35);
                    if (vx * vx + vy * vy + vz * vz < 1.0) value = 8.0; // lateral ventricles
                    value += static_cast<double>(hash(x, y, z) & 15u) - 7.5;
                }
                row[x] = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
            }
        }
    }
    return image;
}

} // namespace volumira::tool

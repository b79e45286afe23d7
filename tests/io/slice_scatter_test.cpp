#include "io/SliceScatter.h"

#include <gtest/gtest.h>
#include <vector>

using namespace volumira;

TEST(SliceScatter, EveryPixelLandsOnItsVoxelForAnyBatchShape) {
    // Batches and planes both with and without whole 16 x 16 tiles, at the start and inside the volume.
    const struct {
        int count, ny, nz, nx, firstX;
    } cases[] = {
        {1, 5, 3, 4, 2}, {16, 16, 2, 16, 0}, {17, 33, 3, 40, 20}, {64, 48, 2, 64, 0}, {40, 7, 9, 45, 5}};
    for (const auto& c : cases) {
        const std::size_t plane = static_cast<std::size_t>(c.ny) * c.nz;
        std::vector<std::uint8_t> batch(plane * c.count);
        for (std::size_t i = 0; i < batch.size(); ++i)
            batch[i] = static_cast<std::uint8_t>(i * 131 + i / 7);
        std::vector<std::uint8_t> voxels(static_cast<std::size_t>(c.nx) * c.ny * c.nz, 0xEE);
        scatterSlices(batch.data(), c.count, c.ny, c.nz, voxels.data(), c.nx, c.firstX);
        int wrong = 0;
        for (int z = 0; z < c.nz; ++z)
            for (int y = 0; y < c.ny; ++y)
                for (int x = 0; x < c.nx; ++x) {
                    const std::uint8_t got = voxels[x + static_cast<std::size_t>(y) * c.nx +
                                                    static_cast<std::size_t>(z) * c.nx * c.ny];
                    const int b = x - c.firstX;
                    const std::uint8_t expected =
                        b >= 0 && b < c.count ? batch[b * plane + static_cast<std::size_t>(z) * c.ny + y]
                                              : 0xEE;
                    wrong += got != expected;
                }
        EXPECT_EQ(wrong, 0) << "count " << c.count << ", ny " << c.ny << ", firstX " << c.firstX;
    }
}

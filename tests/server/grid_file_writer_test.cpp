// The coarse grid writer: what it writes reads back cell for cell.

#include "ServerFixture.h"
#include "atlas/AtlasGrid.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "expression/GridFileWriter.h"
#include "io/MemoryStream.h"

#include <stdexcept>

namespace volumira::test {

namespace {

using GridFileWriterTest = ServerTest;

TEST_F(GridFileWriterTest, WrittenGridsReadBackWithTheirCellsSlicesAndSize) {
    const int nx = atlas::kCoarseDims[0], ny = atlas::kCoarseDims[1];
    std::vector<std::uint8_t> voxels(atlas::kCoarseVoxelCount, 0);
    const auto at = [&](int x, int y, int z) { return x + nx * (y + ny * z); };
    // 0..4 are no expression; 5 is the weakest cell; odd slices vanish at every other slice.
    voxels[at(10, 20, 30)] = 5;
    voxels[at(11, 20, 30)] = 4;
    voxels[at(12, 20, 31)] = 200;
    voxels[at(132, 80, 114)] = 255;
    voxels[at(0, 0, 0)] = 1;

    for (const bool everyOther : {false, true}) {
        const std::vector<std::uint8_t> file = writeGridFile(voxels, everyOther, 12345);
        MemoryStream stream(file.size());
        stream.write(file.data(), file.size());
        stream.seek(0);
        const GeneExpression gene(stream, ExpressionAtlas(annotation(), ontology()));
        EXPECT_EQ(gene.fileFormat(), 30001);
        EXPECT_EQ(gene.fileSize(), 12345);
        std::map<std::int32_t, int> cells;
        for (const ExpressionCell& cell : gene.cells())
            cells[cell.gridId] = cell.expressors;
        std::map<std::int32_t, int> expected = {{at(10, 20, 30) + 1, 5}};
        if (!everyOther) expected[at(12, 20, 31) + 1] = 200;
        // The last slice (114) is even, but every-other storage keeps only 115 / 2 = 57 slices.
        if (!everyOther) expected[at(132, 80, 114) + 1] = 255;
        EXPECT_EQ(cells, expected) << everyOther;
    }
    EXPECT_THROW(writeGridFile(std::vector<std::uint8_t>(100), false, 0), std::invalid_argument);
}

} // namespace

} // namespace volumira::test

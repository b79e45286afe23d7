#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

using namespace volumira;
using test::Bytes;
using test::errorOf;
using test::gridIdOf;

namespace {

constexpr std::int32_t kN = atlas::kCoarseVoxelCount;

class ReadExpressionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        atlas.label(10, 20, 30, 2); // CTX
        atlas.label(11, 20, 30, 3); // TH
        atlas.label(12, 20, 30, 9); // a label no line names
    }

    GeneExpression read(const std::string& bytes) {
        MemoryStream stream = test::streamOf(bytes);
        return GeneExpression(stream, atlas.view());
    }

    // Reads into a gene that starts empty, so that a failure leaves it to be looked at.
    std::string readError(GeneExpression& gene, const std::string& bytes) {
        MemoryStream stream = test::streamOf(bytes);
        return errorOf([&] { gene.readExpression(stream, atlas.view()); });
    }

    test::SmallAtlas atlas;
};

std::string version3Header(const std::vector<std::int32_t>& entries0to13, std::int32_t sections,
                           std::int32_t records) {
    Bytes b;
    b.fill(8, test::kJunk);
    for (std::int32_t v : entries0to13)
        b.i32(v);
    b.fill(4, test::kJunk).i32(sections).i32(records).fill(8, test::kJunk);
    return b.data;
}

std::vector<std::int32_t> sampleEntries(std::int32_t scaleSelector) {
    return {101, 202, 3, 4, 5, 606, 7, 8, 1, 0, scaleSelector, 11, 12, 13};
}

std::string currentFile(const std::vector<std::int32_t>& header, const std::vector<std::string>& strings,
                        const std::string& sections, const std::string& records,
                        const std::string& trailer = "") {
    Bytes payload;
    for (std::int32_t v : header)
        payload.i32(v);
    for (const std::string& s : strings)
        payload.str(s);
    payload.raw(sections).raw(records).raw(trailer);
    return Bytes{}.u32(test::kXprMagic).i32(20000).raw(test::compressedBlock(payload.data)).data;
}

} // namespace

TEST_F(ReadExpressionTest, Version2KeepsRecordsWithoutExclusionAndDerivesTheDiameter) {
    const float area = 12.5f;
    const std::string file =
        Bytes{}
            .i32(2)
            .str("Gad1")
            .i32(3)
            .raw(test::version2Record(gridIdOf(10, 20, 30), 0x10007, area, 0.25f, 0, 140.0f))
            .raw(test::version2Record(gridIdOf(11, 20, 30), 9, 1.0f, 0.5f, 1, 99.0f))
            .raw(test::version2Record(gridIdOf(12, 20, 30), 3, 0.0f, 0.75f, 0, 20.0f))
            .data;
    const GeneExpression gene = read(file);
    EXPECT_TRUE(gene.isLoaded());
    EXPECT_EQ(gene.fileFormat(), 2);
    EXPECT_EQ(gene.symbol(), "Gad1");
    ASSERT_EQ(gene.cells().size(), 2u);
    const ExpressionCell& first = gene.cells()[0];
    EXPECT_EQ(first.gridId, gridIdOf(10, 20, 30));
    EXPECT_EQ(first.expressors, 7); // the low 16 bits of the count
    EXPECT_FLOAT_EQ(first.diameter, 2.0f * std::sqrt(area / std::numbers::pi_v<float>));
    EXPECT_FLOAT_EQ(first.areaSpanned, 0.25f);
    EXPECT_FLOAT_EQ(first.level, 140.0f);
    EXPECT_EQ(first.section, 255);
    EXPECT_EQ(first.sectionX, 0);
    EXPECT_EQ(first.sectionY, 0);
    EXPECT_EQ(first.x, 10.0f);
    EXPECT_EQ(first.y, 20.0f);
    EXPECT_EQ(first.z, 30.0f);
    ASSERT_NE(first.structure, nullptr);
    EXPECT_EQ(first.structure->acronym, "CTX");
    EXPECT_EQ(gene.cells()[1].gridId, gridIdOf(12, 20, 30));
    EXPECT_EQ(gene.cells()[1].diameter, 0.0f);
    EXPECT_EQ(gene.header()[GeneExpression::kHeaderCellCount], 2);
    EXPECT_EQ(gene.imageScale(), 0.0f);
}

TEST_F(ReadExpressionTest, Version2WithEveryRecordExcludedLoadsWithoutCells) {
    Bytes file;
    file.i32(2).str("Xist").i32(3);
    for (int i = 0; i < 3; ++i)
        file.raw(test::version2Record(gridIdOf(i, 0, 0), 5, 1.0f, 1.0f, i + 1, 10.0f));
    const GeneExpression gene = read(file.data);
    EXPECT_TRUE(gene.isLoaded());
    EXPECT_TRUE(gene.cells().empty());
    EXPECT_EQ(gene.symbol(), "Xist");
}

TEST_F(ReadExpressionTest, Version3ReadsHeaderStringsSectionImagesAndDropsRecordsWithoutExpressors) {
    const std::string file =
        Bytes{}
            .i32(3)
            .raw(version3Header(sampleEntries(1), 2, 3))
            .str("glutamate decarboxylase 1")
            .str("Gad1")
            .str("third")
            .str("fourth")
            .str("fifth")
            .fill(4, test::kJunk)
            .raw(test::sectionRecord(42, 1001, 3000, 2000, "\\\\server\\share\\x\\primary\\1.jp2", ""))
            .raw(test::sectionRecord(7, 1002, 10, 20, "/srv/a/primary/2.jp2", "/srv/a/mask/2.jp2"))
            .raw(test::version3Record(gridIdOf(10, 20, 30), 3.5f, 0.4f, 200.0f, 42, 1234, 567, 6))
            .raw(test::version3Record(gridIdOf(11, 20, 30), 1.0f, 0.1f, 50.0f, 42, 1, 2, 0))
            .raw(test::version3Record(gridIdOf(11, 20, 30) + 1, 2.0f, 0.2f, 60.0f, 7, 3, 4, 65535))
            .data;
    const GeneExpression gene = read(file);
    const std::vector<std::int32_t> entries = sampleEntries(1);
    for (int e = 0; e < 14; ++e)
        EXPECT_EQ(gene.header()[static_cast<std::size_t>(e)], entries[static_cast<std::size_t>(e)]) << e;
    EXPECT_EQ(gene.fileFormat(), 3);
    EXPECT_EQ(gene.experimentId(), 101);
    EXPECT_EQ(gene.imageSeriesId(), 202);
    EXPECT_EQ(gene.geneId(), 606);
    EXPECT_EQ(gene.header()[GeneExpression::kHeaderSectionImageCount], 2);
    EXPECT_EQ(gene.header()[GeneExpression::kHeaderCellCount], 2); // only the records kept
    EXPECT_FLOAT_EQ(gene.imageScale(), 0.95f);
    EXPECT_EQ(gene.name(), "glutamate decarboxylase 1");
    EXPECT_EQ(gene.strings()[2], "third");
    EXPECT_EQ(gene.strings()[4], "fifth");

    const SectionImage* image = gene.sectionImage(42);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->imageId, 1001u);
    EXPECT_EQ(image->width, 3000u);
    EXPECT_EQ(image->height, 2000u);
    EXPECT_EQ(image->primaryPath, "share/x/primary/1.jp2");
    EXPECT_EQ(image->expressionPath, "share/x/express/1.jp2");
    ASSERT_NE(gene.sectionImage(7), nullptr);
    EXPECT_EQ(gene.sectionImage(7)->expressionPath, "a/mask/2.jp2");
    EXPECT_EQ(gene.sectionImage(8), nullptr);

    ASSERT_EQ(gene.cells().size(), 2u);
    const ExpressionCell& cell = gene.cells()[0];
    EXPECT_EQ(cell.gridId, gridIdOf(10, 20, 30));
    EXPECT_FLOAT_EQ(cell.diameter, 3.5f);
    EXPECT_FLOAT_EQ(cell.areaSpanned, 0.4f);
    EXPECT_FLOAT_EQ(cell.level, 200.0f);
    EXPECT_EQ(cell.section, 42);
    EXPECT_EQ(cell.sectionX, 1234);
    EXPECT_EQ(cell.sectionY, 567);
    EXPECT_EQ(cell.expressors, 6);
    EXPECT_EQ(gene.cells()[1].expressors, 65535);
    EXPECT_EQ(gene.cells()[1].x, 12.0f);
}

TEST_F(ReadExpressionTest, Version3ImageScaleFollowsTheScaleSelector) {
    for (const auto& [selector, scale] :
         std::vector<std::pair<std::int32_t, float>>{{0, 1.63f}, {5, 0.95f}}) {
        SCOPED_TRACE(selector);
        Bytes file;
        file.i32(3).raw(version3Header(sampleEntries(selector), 0, 0));
        for (int i = 0; i < 5; ++i)
            file.str("");
        file.fill(4, 0);
        EXPECT_FLOAT_EQ(read(file.data).imageScale(), scale);
    }
}

TEST_F(ReadExpressionTest, CurrentFormatReadsEveryFieldAndIgnoresTrailingBytes) {
    std::vector<std::int32_t> header(16);
    for (int i = 0; i < 16; ++i)
        header[static_cast<std::size_t>(i)] = 1000 + i;
    header[14] = 1;
    header[15] = 2;
    const std::string file =
        currentFile(header, {"name", "Sym", "a", "b", "c"},
                    test::sectionRecord(3, 77, 640, 480, "/root/dir/primary/3.jpg", ""),
                    test::currentRecord(gridIdOf(10, 20, 30), 1.5f, 0.5f, 128.0f, 3, 11, 12, 4) +
                        test::currentRecord(gridIdOf(100, 70, 110), 2.5f, 0.75f, 255.0f, 3, 13, 14, 0),
                    std::string(100, test::kJunk));
    const GeneExpression gene = read(file);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(gene.header()[static_cast<std::size_t>(i)], 1000 + i);
    EXPECT_EQ(gene.imageScale(), 0.0f); // set by version 3 only
    EXPECT_EQ(gene.fileFormat(), 20000);
    EXPECT_EQ(gene.symbol(), "Sym");
    EXPECT_EQ(gene.strings()[4], "c");
    ASSERT_NE(gene.sectionImage(3), nullptr);
    EXPECT_EQ(gene.sectionImage(3)->primaryPath, "dir/primary/3.jpg");
    EXPECT_EQ(gene.sectionImage(3)->expressionPath, "dir/express/3.jpg");
    ASSERT_EQ(gene.cells().size(), 2u);
    const ExpressionCell& last = gene.cells()[1];
    EXPECT_EQ(last.gridId, gridIdOf(100, 70, 110));
    EXPECT_FLOAT_EQ(last.diameter, 2.5f);
    EXPECT_FLOAT_EQ(last.areaSpanned, 0.75f);
    EXPECT_FLOAT_EQ(last.level, 255.0f);
    EXPECT_EQ(last.section, 3);
    EXPECT_EQ(last.sectionX, 13);
    EXPECT_EQ(last.sectionY, 14);
    EXPECT_EQ(last.expressors, 0);
    EXPECT_EQ(last.x, 100.0f);
    EXPECT_EQ(last.y, 70.0f);
    EXPECT_EQ(last.z, 110.0f);
}

TEST_F(ReadExpressionTest, GridFormatsTurnVoxelsAboveFourIntoCellsOnTheSlicesOfTheirStep) {
    const auto [nx, ny, nz] = atlas::kCoarseDims;
    const std::size_t slice = static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
    struct Case {
        std::int32_t format, stepCode;
    };
    for (const Case c : {Case{30000, 0}, Case{30001, 0}, Case{30000, 1}, Case{30001, 1}}) {
        SCOPED_TRACE(std::to_string(c.format) + " step code " + std::to_string(c.stepCode));
        const int step = c.stepCode + 1;
        const std::size_t slices = static_cast<std::size_t>(nz / step);
        std::string voxels(slices * slice, '\0');
        // Values 0..5 along a row of stored slice 0, a 200 on stored slice 2 and one on the last.
        for (int v = 0; v <= 5; ++v)
            voxels[static_cast<std::size_t>(10 + v + nx * 20)] = static_cast<char>(v);
        voxels[2 * slice + 5 + static_cast<std::size_t>(nx) * 7] = static_cast<char>(200);
        voxels[(slices - 1) * slice] = 9;
        const GeneExpression gene = read(test::gridFile(c.format, c.stepCode, 4321, 3, voxels));
        EXPECT_EQ(gene.fileFormat(), c.format);
        ASSERT_EQ(gene.cells().size(), 3u);
        const ExpressionCell& five = gene.cells()[0];
        EXPECT_EQ(five.gridId, gridIdOf(15, 20, 0));
        EXPECT_EQ(five.expressors, 5);
        EXPECT_EQ(five.section, 0);
        EXPECT_EQ(five.level, 0.0f);
        EXPECT_EQ(five.diameter, 0.0f);
        EXPECT_EQ(gene.cells()[1].gridId, gridIdOf(5, 7, 2 * step));
        EXPECT_EQ(gene.cells()[1].expressors, 200);
        EXPECT_EQ(gene.cells()[1].z, static_cast<float>(2 * step));
        EXPECT_EQ(gene.cells()[2].gridId, gridIdOf(0, 0, static_cast<int>(slices - 1) * step));
        for (const ExpressionCell& cell : gene.cells())
            EXPECT_EQ(static_cast<int>(cell.z) % step, 0);
        EXPECT_EQ(gene.fileSize(), c.format == 30001 ? 4321 : 0);
    }
}

TEST_F(ReadExpressionTest, CellsAreListedUnderTheStructureOfTheirVoxel) {
    const std::string file = Bytes{}
                                 .i32(2)
                                 .str("S")
                                 .i32(4)
                                 .raw(test::version2Record(gridIdOf(10, 20, 30), 1, 1, 1, 0, 1))
                                 .raw(test::version2Record(gridIdOf(11, 20, 30), 1, 1, 1, 0, 1))
                                 .raw(test::version2Record(gridIdOf(12, 20, 30), 1, 1, 1, 0, 1))
                                 .raw(test::version2Record(gridIdOf(13, 20, 30), 1, 1, 1, 0, 1))
                                 .data;
    const GeneExpression gene = read(file);
    ASSERT_EQ(gene.structureCells().size(), static_cast<std::size_t>(atlas.ontology().count()));
    for (int k = 0; k < atlas.ontology().count(); ++k)
        EXPECT_EQ(gene.structureCells()[static_cast<std::size_t>(k)].structure,
                  &atlas.ontology().structureByOrder(k));
    const std::vector<const ExpressionCell*>& cortex = gene.cellsOfStructure(2);
    ASSERT_EQ(cortex.size(), 1u);
    EXPECT_EQ(cortex[0], &gene.cells()[0]);
    ASSERT_EQ(gene.cellsOfStructure(3).size(), 1u);
    EXPECT_EQ(gene.cellsOfStructure(3)[0]->structure->acronym, "TH");
    // An unnamed label and the outside of the brain both land on "No Annotation".
    ASSERT_EQ(gene.cellsOfStructure(0).size(), 2u);
    EXPECT_EQ(gene.cells()[2].structure->acronym, "NA");
    EXPECT_TRUE(gene.cellsOfStructure(1).empty());
    EXPECT_TRUE(gene.cellsOfStructure(4).empty());
    EXPECT_TRUE(gene.cellsOfStructure(99).empty());
    EXPECT_TRUE(gene.cellsOfStructure(-1).empty());
}

TEST_F(ReadExpressionTest, FindCellSearchesByGridIdInSortedAndUnsortedFiles) {
    for (const bool sorted : {true, false}) {
        SCOPED_TRACE(sorted ? "sorted" : "unsorted");
        const std::vector<int> xs = sorted ? std::vector<int>{1, 5, 9} : std::vector<int>{9, 1, 5};
        Bytes file;
        file.i32(2).str("S").i32(3);
        for (int x : xs)
            file.raw(test::version2Record(gridIdOf(x, 0, 0), x, 1, 1, 0, 1));
        const GeneExpression gene = read(file.data);
        for (int x : {1, 5, 9}) {
            const ExpressionCell* cell = gene.findCell(gridIdOf(x, 0, 0));
            ASSERT_NE(cell, nullptr) << x;
            EXPECT_EQ(cell->expressors, x);
        }
        for (int x : {0, 2, 10})
            EXPECT_EQ(gene.findCell(gridIdOf(x, 0, 0)), nullptr) << x;
    }
}

TEST_F(ReadExpressionTest, ReadingAgainReplacesTheCells) {
    const std::string file =
        Bytes{}.i32(2).str("S").i32(1).raw(test::version2Record(gridIdOf(10, 20, 30), 1, 1, 1, 0, 1)).data;
    MemoryStream first = test::streamOf(file), second = test::streamOf(file);
    GeneExpression gene(first, atlas.view());
    gene.readExpression(second, atlas.view());
    EXPECT_EQ(gene.cells().size(), 1u);
    EXPECT_EQ(gene.cellsOfStructure(2).size(), 1u);
}

TEST_F(ReadExpressionTest, ReadsFromAFileAndStartsAtTheStreamPosition) {
    test::TempDir dir;
    const std::string file =
        Bytes{}.i32(2).str("S").i32(1).raw(test::version2Record(gridIdOf(10, 20, 30), 1, 1, 1, 0, 1)).data;
    test::writeBytes(dir.file("gene.xpr"), file);
    EXPECT_EQ(GeneExpression(dir.file("gene.xpr"), atlas.view()).cells().size(), 1u);
    EXPECT_EQ(errorOf([&] { GeneExpression(dir.file("missing.xpr"), atlas.view()); }),
              "File could not be opened.");

    // A stream that holds something else first is read from where it stands.
    MemoryStream stream = test::streamOf("XY" + file);
    stream.seek(2);
    EXPECT_EQ(GeneExpression(stream, atlas.view()).cells().size(), 1u);
}

TEST_F(ReadExpressionTest, BadDataFailsWithAClearMessageAndLeavesTheGeneNotLoadable) {
    const std::string goodRecord2 = test::version2Record(gridIdOf(1, 1, 1), 1, 1, 1, 0, 1);
    const auto v2 = [](std::int32_t count, const std::string& records) {
        return Bytes{}.i32(2).str("S").i32(count).raw(records).data;
    };
    const auto v3 = [](std::int32_t sections, std::int32_t count, const std::string& rest) {
        Bytes b;
        b.i32(3).raw(version3Header(sampleEntries(0), sections, count));
        for (int i = 0; i < 5; ++i)
            b.str("s");
        return b.fill(4, 0).raw(rest).data;
    };
    const auto current = [](std::int32_t sections, std::int32_t count, const std::string& rest) {
        std::vector<std::int32_t> header(16, 0);
        header[14] = sections;
        header[15] = count;
        return currentFile(header, {"a", "b", "c", "d", "e"}, "", rest);
    };
    const std::size_t fullGrid = static_cast<std::size_t>(kN);
    const std::size_t halfGrid =
        static_cast<std::size_t>(atlas::kCoarseDims[2] / 2) * atlas::kCoarseDims[0] * atlas::kCoarseDims[1];
    const std::string damagedBlock = Bytes{}.i32(100).i32(10).fill(10, 'x').data;

    struct Case {
        const char* what;
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"html page", "<html><body>Not found</body></html>", "Unsupported gene expression data format."},
        {"empty", "", "Unexpected end of stream while reading."},
        {"unknown first value", Bytes{}.i32(7).data, "Expression file version 7 not supported."},
        {"unknown magic version", Bytes{}.u32(test::kXprMagic).i32(12345).data,
         "Expression file version 12345 not supported."},
        {"v2 count above N", v2(kN + 1, ""), "Invalid number of quadrats."},
        {"v2 negative count", v2(-1, ""), "Invalid number of quadrats."},
        {"v2 grid id 0", v2(1, test::version2Record(0, 1, 1, 1, 0, 1)), "Invalid quadrat coordinates."},
        {"v2 grid id above N", v2(1, test::version2Record(kN + 1, 1, 1, 1, 0, 1)),
         "Invalid quadrat coordinates."},
        {"v2 negative grid id", v2(1, test::version2Record(-5, 1, 1, 1, 0, 1)),
         "Invalid quadrat coordinates."},
        {"v2 count beyond data", v2(1000, goodRecord2), "Unexpected end of stream while reading."},
        {"v2 record cut short", v2(1, goodRecord2.substr(0, 30)), "Unexpected end of stream while reading."},
        {"v2 symbol cut short", Bytes{}.i32(2).raw("\x10Gad").data,
         "Unexpected end of stream while reading."},
        {"v3 header cut short", Bytes{}.i32(3).fill(40, 0).data, "Unexpected end of stream while reading."},
        {"v3 count above N", v3(0, kN + 1, ""), "Invalid number of quadrats."},
        {"v3 negative section count", v3(-2, 0, ""), "Invalid number of section images."},
        {"v3 sections beyond data", v3(3, 0, test::sectionRecord(1, 2, 3, 4, "p", "e")),
         "Unexpected end of stream while reading."},
        {"v3 grid id above N", v3(0, 1, test::version3Record(kN + 1, 1, 1, 1, 1, 1, 1, 1)),
         "Invalid quadrat coordinates."},
        {"v3 count beyond data", v3(0, 2, test::version3Record(5, 1, 1, 1, 1, 1, 1, 1)),
         "Unexpected end of stream while reading."},
        {"current count above N", current(0, kN + 1, ""), "Invalid number of quadrats."},
        {"current grid id 0", current(0, 1, test::currentRecord(0, 1, 1, 1, 1, 1, 1, 1)),
         "Invalid quadrat coordinates."},
        {"current grid id above N", current(0, 1, test::currentRecord(kN + 1, 1, 1, 1, 1, 1, 1, 1)),
         "Invalid quadrat coordinates."},
        {"current count beyond data", current(0, 3, test::currentRecord(5, 1, 1, 1, 1, 1, 1, 1)),
         "Expression data ends early: 3 cells are announced but only 1 are present."},
        {"current negative section count", current(-1, 0, ""), "Invalid number of section images."},
        {"current section path cut short",
         current(1, 0, Bytes{}.u32(1).u32(2).u32(3).u32(4).raw("\x20/a/b").data),
         "Unexpected end of stream while reading."},
        {"current block damaged", Bytes{}.u32(test::kXprMagic).i32(20000).raw(damagedBlock).data,
         "Error while reading grid file."},
        {"current block cut short",
         Bytes{}
             .u32(test::kXprMagic)
             .i32(20000)
             .raw(test::compressedBlock(std::string(64, '\0')).substr(0, 12))
             .data,
         "Unexpected end of stream while reading."},
        {"grid step code 2", test::gridFile(30000, 2, 0, 0, std::string(fullGrid, '\0')),
         "Unrecognized grid file format."},
        {"grid negative step code", test::gridFile(30000, -1, 0, 0, std::string(fullGrid, '\0')),
         "Unrecognized grid file format."},
        {"grid hint above N", test::gridFile(30001, 0, 0, kN + 1, std::string(fullGrid, '\0')),
         "Invalid number of quadrats."},
        {"grid block one byte short", test::gridFile(30000, 0, 0, 0, std::string(fullGrid - 1, '\x09')),
         "Grid file is damaged: its voxel block holds " + std::to_string(fullGrid - 1) + " bytes where " +
             std::to_string(fullGrid) + " are needed."},
        {"grid step 2 block short", test::gridFile(30000, 1, 0, 0, std::string(halfGrid - 10, '\x09')),
         "Grid file is damaged: its voxel block holds " + std::to_string(halfGrid - 10) + " bytes where " +
             std::to_string(halfGrid) + " are needed."},
        {"grid empty block", test::gridFile(30001, 1, 0, 0, ""),
         "Grid file is damaged: its voxel block holds 0 bytes where " + std::to_string(halfGrid) +
             " are needed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GeneExpression gene("name", "symbol");
        EXPECT_EQ(readError(gene, c.bytes), c.message);
        EXPECT_FALSE(gene.isLoadable());
        EXPECT_FALSE(gene.isLoaded());
        EXPECT_EQ(gene.fileFormat(), 0);
        EXPECT_TRUE(gene.structureCells().empty());
    }
}

TEST_F(ReadExpressionTest, AFailedReadKeepsTheCellsReadSoFar) {
    Bytes v2;
    v2.i32(2).str("S").i32(3);
    v2.raw(test::version2Record(gridIdOf(10, 20, 30), 4, 1, 1, 0, 1));
    v2.raw(test::version2Record(gridIdOf(11, 20, 30), 5, 1, 1, 0, 1));
    v2.raw(test::version2Record(0, 6, 1, 1, 0, 1));
    GeneExpression gene("n", "s");
    EXPECT_EQ(readError(gene, v2.data), "Invalid quadrat coordinates.");
    ASSERT_EQ(gene.cells().size(), 2u);
    EXPECT_EQ(gene.cells()[1].expressors, 5);

    std::vector<std::int32_t> header(16, 0);
    header[15] = 5;
    const std::string current = currentFile(header, {"", "", "", "", ""}, "",
                                            test::currentRecord(7, 1, 1, 1, 1, 1, 1, 3) +
                                                test::currentRecord(8, 1, 1, 1, 1, 1, 1, 4) + "short");
    GeneExpression other("n", "s");
    EXPECT_EQ(readError(other, current),
              "Expression data ends early: 5 cells are announced but only 2 are present.");
    EXPECT_EQ(other.cells().size(), 2u);
}

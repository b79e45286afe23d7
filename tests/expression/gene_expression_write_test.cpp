#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "io/CompressedBlock.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using namespace volumira;
using test::Bytes;
using test::errorOf;
using test::gridIdOf;

namespace {

class SaveExpressionTest : public ::testing::Test {
  protected:
    void SetUp() override { atlas.label(10, 20, 30, 2); }

    GeneExpression read(const std::string& bytes) {
        MemoryStream stream = test::streamOf(bytes);
        return GeneExpression(stream, atlas.view());
    }

    // A version 3 file with two section images (one path needing normalisation) and three records, one
    // of which has no expressors.
    std::string version3File() const {
        Bytes b;
        b.i32(3).fill(8, test::kJunk);
        for (int e = 0; e < 14; ++e)
            b.i32(e == 8 ? 1 : 50 + e);
        b.fill(4, 0).i32(2).i32(3).fill(8, 0);
        b.str("Name").str("Sym-1").str("t3").str("t4").str("t5").fill(4, 0);
        b.raw(test::sectionRecord(9, 900, 100, 200, "\\\\srv\\s\\primary\\9.jp2", ""));
        b.raw(test::sectionRecord(4, 400, 300, 400, "/x/y/z.jp2", "/x/m/z.jp2"));
        b.raw(test::version3Record(gridIdOf(10, 20, 30), 1.5f, 0.25f, 30.0f, 9, 5, 6, 2));
        b.raw(test::version3Record(gridIdOf(11, 20, 30), 1.5f, 0.25f, 30.0f, 9, 5, 6, 0));
        b.raw(test::version3Record(gridIdOf(12, 20, 30), 2.5f, 0.5f, 40.0f, 4, 7, 8, 300));
        return b.data;
    }

    test::SmallAtlas atlas;
    test::TempDir dir;
};

void expectSameCells(const std::vector<ExpressionCell>& a, const std::vector<ExpressionCell>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i].gridId, b[i].gridId);
        EXPECT_EQ(a[i].diameter, b[i].diameter);
        EXPECT_EQ(a[i].areaSpanned, b[i].areaSpanned);
        EXPECT_EQ(a[i].level, b[i].level);
        EXPECT_EQ(a[i].section, b[i].section);
        EXPECT_EQ(a[i].sectionX, b[i].sectionX);
        EXPECT_EQ(a[i].sectionY, b[i].sectionY);
        EXPECT_EQ(a[i].expressors, b[i].expressors);
        EXPECT_EQ(a[i].x, b[i].x);
        EXPECT_EQ(a[i].structure, b[i].structure);
    }
}

} // namespace

TEST_F(SaveExpressionTest, SavedFileLaysOutTheCurrentFormat) {
    const GeneExpression gene = read(version3File());
    const std::string path = dir.file("gene.xpr");
    gene.saveExpression(path);
    const std::string bytes = test::readBytes(path);
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xDD\xDD\xEE\xEE", 4));
    MemoryStream file = test::streamOf(bytes);
    file.seek(4);
    EXPECT_EQ(file.readInt32(), 20000);
    MemoryStream block;
    readCompressedBlock(file, block);
    EXPECT_EQ(file.remaining(), 0u);

    std::vector<std::int32_t> header;
    for (int i = 0; i < 16; ++i)
        header.push_back(block.readInt32());
    EXPECT_EQ(header[0], 50);
    EXPECT_EQ(header[13], 63);
    EXPECT_EQ(header[14], 2);
    EXPECT_EQ(header[15], 2);
    const Bytes expectedRest =
        Bytes{}
            .str("Name")
            .str("Sym-1")
            .str("t3")
            .str("t4")
            .str("t5")
            .raw(test::sectionRecord(4, 400, 300, 400, "y/z.jp2", "m/z.jp2"))
            .raw(test::sectionRecord(9, 900, 100, 200, "s/primary/9.jp2", "s/express/9.jp2"))
            .raw(test::currentRecord(gridIdOf(10, 20, 30), 1.5f, 0.25f, 30.0f, 9, 5, 6, 2))
            .raw(test::currentRecord(gridIdOf(12, 20, 30), 2.5f, 0.5f, 40.0f, 4, 7, 8, 300));
    std::string rest(block.remaining(), '\0');
    block.read(rest.data(), rest.size());
    EXPECT_EQ(rest, expectedRest.data);
}

TEST_F(SaveExpressionTest, SavedGeneReadsBackWithTheSameContentsLessCellsWithoutExpressors) {
    // A current-format source keeps a cell with no expressors, which the save leaves out.
    std::vector<std::int32_t> header = {1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 0, 12, 13, 14, 1, 3};
    Bytes payload;
    for (std::int32_t v : header)
        payload.i32(v);
    payload.str("n").str("s").str("").str("four").str("five");
    payload.raw(test::sectionRecord(1, 2, 3, 4, "a/primary/b", "a/express/b"));
    payload.raw(test::currentRecord(gridIdOf(1, 1, 1), 1, 1, 1, 1, 1, 1, 1));
    payload.raw(test::currentRecord(gridIdOf(2, 1, 1), 1, 1, 1, 1, 1, 1, 0));
    payload.raw(test::currentRecord(gridIdOf(10, 20, 30), 3, 0.5f, 7, 1, 9, 9, 65535));
    const GeneExpression original =
        read(Bytes{}.u32(test::kXprMagic).i32(20000).raw(test::compressedBlock(payload.data)).data);
    ASSERT_EQ(original.cells().size(), 3u);

    const std::string path = dir.file("copy.xpr");
    original.saveExpression(path);
    const GeneExpression copy(path, atlas.view());
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(copy.header()[static_cast<std::size_t>(i)], original.header()[static_cast<std::size_t>(i)])
            << i;
    EXPECT_EQ(copy.header()[15], 2);
    for (int i = 0; i < GeneExpression::kStoredStringCount; ++i)
        EXPECT_EQ(copy.strings()[static_cast<std::size_t>(i)],
                  original.strings()[static_cast<std::size_t>(i)]);
    EXPECT_EQ(copy.sectionImages(), original.sectionImages());
    std::vector<ExpressionCell> kept = {original.cells()[0], original.cells()[2]};
    expectSameCells(copy.cells(), kept);
    EXPECT_EQ(copy.cellsOfStructure(2).size(), 1u);

    // Every older generation converts the same way.
    const GeneExpression fromV3 = read(version3File());
    fromV3.saveExpression(path);
    const GeneExpression v3Copy(path, atlas.view());
    EXPECT_EQ(v3Copy.header(), fromV3.header());
    EXPECT_EQ(v3Copy.sectionImages(), fromV3.sectionImages());
    expectSameCells(v3Copy.cells(), fromV3.cells());
}

TEST_F(SaveExpressionTest, SectionCountWrittenMatchesTheImagesWhenTheFileRepeatedASection) {
    Bytes b;
    b.i32(3).fill(8, 0).fill(56, 0).fill(4, 0).i32(3).i32(0).fill(8, 0);
    for (int i = 0; i < 5; ++i)
        b.str("x");
    b.fill(4, 0);
    b.raw(test::sectionRecord(5, 1, 1, 1, "first", "")).raw(test::sectionRecord(5, 2, 2, 2, "second", ""));
    b.raw(test::sectionRecord(6, 3, 3, 3, "third", ""));
    const GeneExpression gene = read(b.data);
    ASSERT_EQ(gene.sectionImages().size(), 2u);
    EXPECT_EQ(gene.sectionImage(5)->primaryPath, "second");
    const std::string path = dir.file("g.xpr");
    gene.saveExpression(path);
    const GeneExpression copy(path, atlas.view());
    EXPECT_EQ(copy.sectionImages(), gene.sectionImages());
}

TEST_F(SaveExpressionTest, AFailedSaveLeavesNoFileAndKeepsTheOldOne) {
    GeneExpression gene("n", "s");
    gene.setStringField(GeneExpression::kStringName, std::string(300, 'n'));
    const std::string path = dir.file("old.xpr");
    test::writeBytes(path, "previous contents");
    EXPECT_EQ(errorOf([&] { gene.saveExpression(path); }).rfind("Could not write string to stream.", 0), 0u);
    EXPECT_EQ(test::readBytes(path), "previous contents");

    const GeneExpression good("n", "s");
    EXPECT_EQ(errorOf([&] { good.saveExpression(dir.file("no such dir/g.xpr")); }),
              "File could not be opened.");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

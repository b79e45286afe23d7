#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace volumira;
using test::Bytes;
using test::gridIdOf;

namespace {

// A current-generation file with one image of section 3 (640 x 480) and one cell measured on it.
std::string fileWithOneCell(std::uint32_t width, std::uint32_t height) {
    Bytes payload;
    for (int i = 0; i < 16; ++i)
        payload.i32(i == 14 ? 1 : i == 15 ? 1 : 0);
    for (const char* s : {"name", "Sym", "a", "b", "c"})
        payload.str(s);
    payload.raw(test::sectionRecord(3, 77, width, height, "/root/dir/primary/3.jpg", ""))
        .raw(test::currentRecord(gridIdOf(10, 20, 30), 1.5f, 0.5f, 128.0f, 3, 160, 360, 4));
    return Bytes{}.u32(test::kXprMagic).i32(20000).raw(test::compressedBlock(payload.data)).data;
}

} // namespace

TEST(ModelImageUrl, PointsAtTheSelectedCellsSectionImage) {
    struct Case {
        std::uint32_t width, height;
        bool found;
        std::string tail;
    };
    for (const Case& c : {Case{640, 480, true, "77&x=0.25&y=-0.25&z=50"}, Case{0, 480, false, ""}}) {
        MemorySettingsStore store;
        UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        test::SmallAtlas atlas;
        auto stream = test::streamOf(fileWithOneCell(c.width, c.height));
        BrainExpressionModel model(preferences);
        model.addGene(std::make_unique<GeneExpression>(stream, atlas.view()));
        std::string url = "stale";
        EXPECT_FALSE(model.selectedCellImageUrl(url));
        EXPECT_EQ(url, "");
        const GeneExpression& gene = model.geneAt(0);
        ASSERT_EQ(gene.cells().size(), 1u);
        model.selectCell(&gene, &gene.cells()[0], false);
        EXPECT_EQ(model.selectedCellImageUrl(url), c.found);
        EXPECT_EQ(url, c.found ? preferences.imagePageUrl() + c.tail : "");
    }
}

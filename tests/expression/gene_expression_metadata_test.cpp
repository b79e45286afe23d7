#include "atlas/AtlasTestData.h"
#include "atlas/ReferenceAtlas.h"
#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "support/ErrorText.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

using namespace volumira;
using test::Bytes;
using test::gridIdOf;

TEST(GeneExpressionMetadata, NewGeneHasTheDefaults) {
    const GeneExpression gene("glutamate decarboxylase 1", "Gad1");
    EXPECT_EQ(gene.name(), "glutamate decarboxylase 1");
    EXPECT_EQ(gene.symbol(), "Gad1");
    EXPECT_FALSE(gene.isLoaded());
    EXPECT_TRUE(gene.cells().empty());
    EXPECT_EQ(gene.plane(), -1);
    EXPECT_EQ(gene.probeOrientation(), -1);
    for (int i = 0; i < GeneExpression::kHeaderSize; ++i)
        if (i != GeneExpression::kHeaderPlane && i != GeneExpression::kHeaderProbeOrientation) {
            EXPECT_EQ(gene.headerEntry(i), 0) << i;
        }
    EXPECT_EQ(gene.colour(), (std::array<float, 3>{0.9f, 0.9f, 0.0f}));
    EXPECT_TRUE(gene.isVisible());
    EXPECT_EQ(gene.score(), -1.0f);
    EXPECT_EQ(gene.imageScale(), 0.0f);
    EXPECT_EQ(gene.findCell(1), nullptr);
    EXPECT_THROW(gene.headerEntry(16), std::invalid_argument);
    EXPECT_THROW(gene.stringField(-1), std::invalid_argument);
}

TEST(GeneExpressionMetadata, SearchResultsAreLoadableWhenAnyWayToFetchThemExists) {
    struct Case {
        std::int32_t imageSeriesId, geneId;
        std::string url;
        bool loadable;
    };
    for (const Case& c :
         std::vector<Case>{{0, 0, "", false}, {5, 0, "", true}, {0, 6, "", true}, {0, 0, "u", true}}) {
        GeneExpression::SearchResult r;
        r.name = "n";
        r.symbol = "s";
        r.imageSeriesId = c.imageSeriesId;
        r.geneId = c.geneId;
        r.expressionFileUrl = c.url;
        r.condition = "cond";
        r.plane = 1;
        r.probeOrientation = 0;
        r.fileSize = 2048;
        r.score = 0.5f;
        r.available = false;
        const GeneExpression gene(r);
        SCOPED_TRACE(std::to_string(c.imageSeriesId) + "/" + std::to_string(c.geneId) + "/" + c.url);
        EXPECT_EQ(gene.isLoadable(), c.loadable);
        EXPECT_FALSE(gene.isLoaded());
        EXPECT_EQ(gene.imageSeriesId(), c.imageSeriesId);
        EXPECT_EQ(gene.geneId(), c.geneId);
        EXPECT_EQ(gene.expressionFileUrl(), c.url);
        EXPECT_EQ(gene.condition(), "cond");
        EXPECT_EQ(gene.plane(), 1);
        EXPECT_EQ(gene.probeOrientation(), 0);
        EXPECT_EQ(gene.fileSize(), 2048);
        EXPECT_EQ(gene.score(), 0.5f);
        EXPECT_FALSE(gene.isAvailable());
    }
}

TEST(GeneExpressionMetadata, GeneListLinesNeedAnIdThatCanBeLookedUp) {
    struct Case {
        std::int32_t experimentId, imageSeriesId, geneId;
        bool lookupAvailable, loadable;
    };
    const std::vector<Case> cases = {
        {0, 0, 0, true, false}, {0, 0, 0, false, false}, {7, 0, 0, false, false}, {7, 0, 0, true, true},
        {7, 3, 0, false, true}, {0, 3, 0, false, true},  {0, 0, 9, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.experimentId) + "/" + std::to_string(c.imageSeriesId) + "/" +
                     std::to_string(c.geneId) + (c.lookupAvailable ? " lookup" : ""));
        const GeneExpression gene(
            GeneExpression::GeneListLine{"n", "s", c.experimentId, c.imageSeriesId, c.geneId, 0.25f},
            c.lookupAvailable);
        EXPECT_EQ(gene.isLoadable(), c.loadable);
        EXPECT_EQ(gene.experimentId(), c.experimentId);
        EXPECT_EQ(gene.score(), 0.25f);
    }
}

TEST(GeneExpressionMetadata, SuggestedFileNameKeepsLettersAndDigitsOfTheSymbol) {
    struct Case {
        std::string symbol;
        std::int32_t plane, imageSeriesId;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Gad1-a", 0, 79, "Gad1a_coronal_79.xpr"},
        {"Gad1-a", 1, 79, "Gad1a_sagittal_79.xpr"},
        {"Sst", -1, 5, "Sst_sagittal_5.xpr"},
        {"a/b\\c:d \xC3\xA9", 0, 0, "abcd_coronal_0.xpr"},
    };
    for (const Case& c : cases) {
        GeneExpression gene("n", c.symbol);
        gene.setHeaderEntry(GeneExpression::kHeaderPlane, c.plane);
        gene.setHeaderEntry(GeneExpression::kHeaderImageSeriesId, c.imageSeriesId);
        EXPECT_EQ(gene.suggestedFileName(), c.expected) << c.symbol;
    }
}

TEST(GeneExpressionMetadata, UnloadDropsCellsOnlyWhenTheGeneCanBeFetchedAgain) {
    test::SmallAtlas atlas;
    atlas.label(10, 20, 30, 2);
    const std::string file =
        Bytes{}.i32(3).fill(84, 0).str("n").str("s").str("").str("").str("").fill(4, 0).data;
    // Version 3 header with one record and the ids left 0, so that only a set id makes it fetchable.
    std::string withRecord = file;
    test::putInt32(withRecord, 4 + 72, 1);
    withRecord += test::version3Record(gridIdOf(10, 20, 30), 1, 1, 1, 1, 1, 1, 3);

    struct Case {
        int idEntry; // -1: none; 99: the URL
        bool unloads;
    };
    for (const Case c : {Case{-1, false}, Case{GeneExpression::kHeaderExperimentId, true},
                         Case{GeneExpression::kHeaderImageSeriesId, true},
                         Case{GeneExpression::kHeaderGeneId, true}, Case{99, true}}) {
        SCOPED_TRACE(c.idEntry);
        MemoryStream stream = test::streamOf(withRecord);
        GeneExpression gene(stream, atlas.view());
        ASSERT_EQ(gene.cells().size(), 1u);
        if (c.idEntry == 99)
            gene.setStringField(GeneExpression::kStringExpressionFileUrl, "http://server/file");
        else if (c.idEntry >= 0)
            gene.setHeaderEntry(c.idEntry, 12);
        EXPECT_EQ(gene.unload(), c.unloads);
        EXPECT_EQ(gene.isLoaded(), !c.unloads);
        EXPECT_EQ(gene.cells().empty(), c.unloads);
        EXPECT_EQ(gene.cellsOfStructure(2).empty(), c.unloads);
    }
}

TEST(SectionPaths, ServerPathsLoseTheirFirstComponentAndGetAMaskPath) {
    struct Case {
        std::string primary, expression;
        std::string wantPrimary, wantExpression;
    };
    const std::vector<Case> cases = {
        {"\\\\server\\share\\x\\primary\\1.jp2", "", "share/x/primary/1.jp2", "share/x/express/1.jp2"},
        {"/srv/a/primary/2.jp2", "/srv/a/other/2.jp2", "a/primary/2.jp2", "a/other/2.jp2"},
        {"rel\\primary\\3.jp2", "", "rel\\primary\\3.jp2", ""},
        {"rel/primary/3.jp2", "", "rel/primary/3.jp2", "rel/express/3.jp2"},
        {"/only", "", "/only", ""},
        {"///", "", "///", ""},
        {"/s/primary/primary/4.jp2", "", "primary/primary/4.jp2", "primary/express/4.jp2"},
        {"/s/a/primary/primary/4.jp2", "", "a/primary/primary/4.jp2", "a/express/primary/4.jp2"},
        {"", "", "", ""},
        {"", "/s/mask.jp2", "", "mask.jp2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.primary + " | " + c.expression);
        SectionImage image{1, 2, 3, 4, c.primary, c.expression};
        normaliseSectionPaths(image);
        EXPECT_EQ(image.primaryPath, c.wantPrimary);
        EXPECT_EQ(image.expressionPath, c.wantExpression);
    }
}

TEST(GeneExpressionProcessAtlas, ReadsWithTheProcessWideAtlasWhenNoneIsGiven) {
    // The data locations are computed once per process; nothing else in this binary asks for them.
    test::TempDir data, shared;
    Image3d coarse(atlas::kCoarseDims[0], atlas::kCoarseDims[1], atlas::kCoarseDims[2],
                   atlas::kCoarseSpacing);
    coarse.data()[static_cast<std::size_t>(gridIdOf(10, 20, 30) - 1)] = 4;
    test::writeAtlasBasics(data.path() + "/", coarse);
    ::setenv("VOLUMIRA_DATA_DIR", data.path().c_str(), 1);
    ::setenv("VOLUMIRA_ATLAS_DIR", shared.path().c_str(), 1);
    const std::string file =
        Bytes{}.i32(2).str("S").i32(1).raw(test::version2Record(gridIdOf(10, 20, 30), 1, 1, 1, 0, 1)).data;
    MemoryStream stream = test::streamOf(file);
    const GeneExpression gene(stream);
    ASSERT_EQ(gene.cells().size(), 1u);
    ASSERT_NE(gene.cells()[0].structure, nullptr);
    EXPECT_EQ(gene.cells()[0].structure->acronym, "HY");
    EXPECT_EQ(gene.cellsOfStructure(4).size(), 1u);

    const std::string path = shared.file("gene.xpr");
    test::writeBytes(path, file);
    EXPECT_EQ(GeneExpression(path).cells()[0].structure->acronym, "HY");
    ReferenceAtlas::releaseInstance();
}

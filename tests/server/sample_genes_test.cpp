// The generated genes: markers expressed where a neuroscientist looks for them, the pattern text, and
// the similarity database built from the same expression.

#include "ServerFixture.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "io/MemoryStream.h"
#include "sample-data/Anatomy.h"
#include "sample-data/ExpressionPatterns.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"

#include <stdexcept>

namespace volumira::test {

namespace {

class SampleGenesTest : public ServerTest {
  protected:
    // Share of the grid cells of a structure (and everything below it) that express, in the gene's
    // default series, with the cells placed by the sample atlas's own annotation.
    static std::map<std::string, double> expressedShare(const std::string& symbol) {
        const auto record = searchText(symbol, 1, 0).records.at(0);
        EXPECT_EQ(record.at("geneSymbol"), symbol);
        const std::string bytes =
            get("/GridFile?imageseriesid=" + record.at("imageSeriesId") + "&level=1")->body;
        MemoryStream stream(bytes.size());
        stream.write(bytes.data(), bytes.size());
        stream.seek(0);
        const GeneExpression gene(stream, ExpressionAtlas(annotation(), ontology()));

        // Voxels per structure on the coarse grid the grid files use.
        std::map<const Structure*, double> voxels, expressing;
        const int nx = 133, ny = 81, nz = 115;
        for (int k = 0; k < nz; ++k)
            for (int j = 0; j < ny; ++j)
                for (int i = 0; i < nx; ++i)
                    voxels[&ontology().structureAt(annotation().valueAt(i * 100.0, j * 100.0, k * 100.0))] +=
                        1;
        for (const ExpressionCell& cell : gene.cells())
            expressing[cell.structure] += 1;
        std::map<std::string, double> share;
        for (const char* acronym :
             {"Isocortex", "HIP", "DG", "CA1", "CP", "TH", "CBX", "GPe", "HY", "FT", "MOB"}) {
            const Structure* top = ontology().structureByAcronym(acronym);
            double all = 0, on = 0;
            for (const auto& [structure, count] : voxels)
                if (structure->ancestorSet.contains(top->order)) all += count, on += expressing[structure];
            share[acronym] = all > 0 ? on / all : 0.0;
        }
        return share;
    }
};

TEST_F(SampleGenesTest, MarkersAreExpressedWhereTheyBelong) {
    const auto gad1 = expressedShare("Gad1");
    EXPECT_GT(gad1.at("CP"), 0.5);
    EXPECT_GT(gad1.at("GPe"), 0.3);
    EXPECT_GT(gad1.at("Isocortex"), 0.02); // scattered interneurons
    EXPECT_LT(gad1.at("Isocortex"), 0.2);
    EXPECT_LT(gad1.at("TH"), 0.05);

    const auto vglut1 = expressedShare("Slc17a7");
    EXPECT_GT(vglut1.at("Isocortex"), 0.5);
    EXPECT_GT(vglut1.at("HIP"), 0.5);
    EXPECT_LT(vglut1.at("CP"), 0.05);
    EXPECT_LT(vglut1.at("TH"), 0.05);

    const auto pvalb = expressedShare("Pvalb");
    EXPECT_GT(pvalb.at("Isocortex"), 0.05);
    EXPECT_GT(pvalb.at("GPe"), 0.3);
    EXPECT_GT(pvalb.at("CBX"), 0.1);
    EXPECT_LT(pvalb.at("TH"), 0.05);
    EXPECT_LT(pvalb.at("CP"), 0.05);

    const auto calb1 = expressedShare("Calb1");
    EXPECT_GT(calb1.at("DG"), 0.5);
    EXPECT_GT(calb1.at("CA1"), 0.3);
    EXPECT_LT(calb1.at("MOB"), 0.05);

    const auto mbp = expressedShare("Mbp");
    EXPECT_GT(mbp.at("FT"), 0.4); // thin tracts blur on the quick variant's 400 µm annotation
    EXPECT_LT(mbp.at("Isocortex"), 0.05);

    const auto prox1 = expressedShare("Prox1");
    EXPECT_GT(prox1.at("DG"), 0.6);
    EXPECT_LT(prox1.at("CA1"), 0.05);
    EXPECT_LT(prox1.at("Isocortex"), 0.01);
}

TEST_F(SampleGenesTest, LayerMarkersFollowTheCorticalLayers) {
    // Rorb marks layer 4, Tle4 layer 6: the cells of one lie deeper than the other's.
    const auto depthOf = [](const std::string& symbol) {
        const int nx = 133;
        const auto record = searchText(symbol, 1, 0).records.at(0);
        const std::string bytes =
            get("/GridFile?imageseriesid=" + record.at("imageSeriesId") + "&level=1")->body;
        MemoryStream stream(bytes.size());
        stream.write(bytes.data(), bytes.size());
        stream.seek(0);
        const GeneExpression gene(stream, ExpressionAtlas(annotation(), ontology()));
        // Depth below the brain's surface: the brain voxels above the cell in its column.
        const Structure* isocortex = ontology().structureByAcronym("Isocortex");
        double sum = 0;
        int count = 0;
        const auto& anatomy = sample::coarseAnatomy();
        for (const ExpressionCell& cell : gene.cells()) {
            if (cell.y > 30 || !cell.structure->ancestorSet.contains(isocortex->order))
                continue; // dorsal cortex
            int above = 0;
            for (int y = 0; y < static_cast<int>(cell.y); ++y)
                above += anatomy.label[static_cast<std::size_t>(cell.gridId - 1 -
                                                                (static_cast<int>(cell.y) - y) * nx)] != 0;
            sum += above;
            ++count;
        }
        return count ? sum / count : 0.0;
    };
    EXPECT_LT(depthOf("Cux2") + 1.0, depthOf("Tle4"));
    EXPECT_LT(depthOf("Rorb"), depthOf("Tle4"));
}

TEST(ExpressionPatternTest, PatternTextReadsBackAndBadRulesAreRejected) {
    const sample::ExpressionPattern p = sample::parsePattern("Isocortex@245=0.6/0.3;CP=0.9/0.8");
    ASSERT_EQ(p.rules.size(), 2u);
    EXPECT_EQ(p.rules[0].layers, (1u << 2) | (1u << 4) | (1u << 5));
    EXPECT_FLOAT_EQ(p.rules[1].level, 0.9f);
    EXPECT_EQ(sample::patternText(p), "Isocortex@245=0.6/0.3;CP=0.9/0.8");
    for (const char* bad : {"CP", "CP=0.5", "CP=0.5/", "XX=0.5/0.5", "CP@3=0.5/0.5", "CP@=0.5/0.5",
                            "CP=1.5/0.5", "CP=0.5/-1", "CP=a/0.5", "CP=0.5/0.5;"})
        EXPECT_THROW(sample::parsePattern(bad), std::invalid_argument) << bad;
}

TEST_F(SampleGenesTest, TheSimilarityDatabaseHasTheTablesTheViewerReads) {
    SqlDatabase glm(dataFile("GLM.db"));
    SqlStatement experiments(glm, "SELECT count(*), count(DISTINCT imageSeriesId) FROM Experiments");
    ASSERT_TRUE(experiments.prepareNext());
    ASSERT_TRUE(experiments.step());
    const int series = experiments.columnInt(0);
    EXPECT_GT(series, 200);
    EXPECT_EQ(experiments.columnInt(1), series);

    // One table per similar-gene search structure; no series paired with itself, correlations in
    // range, a bounded number per series.
    for (const sample::StructureInfo& s : sample::sampleStructures()) {
        if (s.depthForSearch < 0) continue;
        const std::string table = "S" + std::to_string(s.id);
        SCOPED_TRACE(table);
        ASSERT_TRUE(glm.tableExists(table));
        SqlStatement check(
            glm, "SELECT count(*), sum(experiment1 = experiment2), min(correlation), max(correlation), "
                 "(SELECT max(n) FROM (SELECT count(*) AS n FROM " +
                     table + " GROUP BY experiment1)) FROM " + table);
        ASSERT_TRUE(check.prepareNext());
        ASSERT_TRUE(check.step());
        EXPECT_GT(check.columnInt(0), 0);
        EXPECT_EQ(check.columnInt(1), 0);
        EXPECT_GE(check.columnDouble(2), -1.0);
        EXPECT_LE(check.columnDouble(3), 1.0);
        EXPECT_LE(check.columnInt(4), 20);
    }
}

} // namespace

} // namespace volumira::test

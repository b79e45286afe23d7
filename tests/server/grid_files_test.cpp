// Grid files by image series, experiment, gene and path, at every level, read back as the viewer reads them.

#include "ServerFixture.h"
#include "atlas/AtlasGrid.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "io/MemoryStream.h"

#include <algorithm>
#include <set>

namespace volumira::test {

namespace {

class GridFileTest : public ServerTest {
  protected:
    static std::unique_ptr<GeneExpression> readGene(const std::string& bytes) {
        MemoryStream stream(bytes.size());
        stream.write(bytes.data(), bytes.size());
        stream.seek(0);
        return std::make_unique<GeneExpression>(stream, ExpressionAtlas(annotation(), ontology()));
    }

    // The Gad1 record of a text search: its ids and grid path are what the other forms ask for.
    static std::map<std::string, std::string> gad1() {
        const SearchAnswer answer = searchText("Gad1", 10, 0);
        EXPECT_FALSE(answer.records.empty());
        return answer.records.empty() ? std::map<std::string, std::string>{} : answer.records.front();
    }

    static std::set<std::int32_t> gridIds(const GeneExpression& gene) {
        std::set<std::int32_t> ids;
        for (const ExpressionCell& cell : gene.cells())
            ids.insert(cell.gridId);
        return ids;
    }
};

TEST_F(GridFileTest, EveryFormServesAReadableFileOfTheSeriesAtTheLevelAsked) {
    const auto record = gad1();
    const std::string series = record.at("imageSeriesId"), gene = record.at("geneId");
    // Experiment ids and grid paths are not in search records: the image series list has the same
    // series, and the download file names the experiment.
    const auto download = get("/GridFile?imageseriesid=" + series + "&level=2");
    ASSERT_TRUE(download);
    const auto full = readGene(download->body);
    const std::string experiment = std::to_string(full->experimentId());

    struct Case {
        std::string target;
        int format;
    };
    const Case cases[] = {
        {"/GridFile?imageseriesid=" + series + "&level=0", 30001},
        {"/GridFile?imageseriesid=" + series + "&level=1", 30001},
        {"/GridFile?imageseriesid=" + series + "&level=2", 20000},
        {"/GridFile?imageseriesid=" + series, 20000},
        {"/GridFile?experimentid=" + experiment + "&level=1", 30001},
        {"/GridFile?geneid=" + gene + "&project=0310&level=0", 30001},
        {"/GridFile?geneid=" + gene + "&project=0310&level=2", 20000},
        {"/GridFile/grids/" + series + "/Gad1.xpr&level=1", 30001},
        {"/GridFile/grids/" + series + "/Gad1.xpr&level=2", 20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const auto result = get(c.target);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->status, 200) << result->body;
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/octet-stream");
        EXPECT_EQ(result->get_header_value("Content-Length"), std::to_string(result->body.size()));
        const auto read = readGene(result->body);
        EXPECT_EQ(read->fileFormat(), c.format);
        EXPECT_FALSE(read->cells().empty());
        if (c.format == 20000) {
            EXPECT_EQ(read->symbol(), "Gad1");
            EXPECT_EQ(std::to_string(read->imageSeriesId()), series);
            EXPECT_EQ(std::to_string(read->geneId()), gene);
        } else {
            // A thumbnail knows the size of the download it stands for.
            EXPECT_EQ(read->fileSize(), static_cast<std::int32_t>(download->body.size()));
        }
    }
}

TEST_F(GridFileTest, LevelsAgreeOnTheCellsAndTheDownloadCarriesItsSectionImages) {
    const std::string series = gad1().at("imageSeriesId");
    const auto half = readGene(get("/GridFile?imageseriesid=" + series + "&level=0")->body);
    const auto whole = readGene(get("/GridFile?imageseriesid=" + series + "&level=1")->body);
    const auto full = readGene(get("/GridFile?imageseriesid=" + series + "&level=2")->body);

    EXPECT_EQ(gridIds(*whole), gridIds(*full));
    const int sliceSize = atlas::kCoarseDims[0] * atlas::kCoarseDims[1];
    std::set<std::int32_t> evenSlices;
    for (const std::int32_t id : gridIds(*whole))
        if (((id - 1) / sliceSize) % 2 == 0) evenSlices.insert(id);
    EXPECT_EQ(gridIds(*half), evenSlices);
    EXPECT_LT(half->cells().size(), whole->cells().size());

    // Every cell of the download points at one of its section images and at a pixel inside it.
    ASSERT_FALSE(full->sectionImages().empty());
    EXPECT_EQ(full->plane(), 0);
    EXPECT_EQ(full->probeOrientation(), 1);
    // Its expressor counts lie in the 1..35 a grid cell holds and grow with the level: the cells of the
    // upper half of the levels count more on average than those of the lower half.
    double sums[2] = {}, cells[2] = {};
    for (const ExpressionCell& cell : full->cells()) {
        const SectionImage* image = full->sectionImage(cell.section);
        ASSERT_NE(image, nullptr) << cell.gridId;
        EXPECT_LT(cell.sectionX, image->width);
        EXPECT_LT(cell.sectionY, image->height);
        EXPECT_GT(cell.level, 4.0f);
        EXPECT_GE(cell.expressors, 1);
        EXPECT_LE(cell.expressors, 35);
        const int half = cell.level >= 128.0f;
        sums[half] += cell.expressors;
        cells[half] += 1;
    }
    ASSERT_GT(cells[0], 0);
    ASSERT_GT(cells[1], 0);
    EXPECT_GT(sums[1] / cells[1], 1.5 * sums[0] / cells[0]);
    for (const auto& [section, image] : full->sectionImages()) {
        EXPECT_NE(image.primaryPath.find("/primary/"), std::string::npos);
        EXPECT_NE(image.expressionPath.find("/express/"), std::string::npos);
    }
}

TEST_F(GridFileTest, UnknownIdsAndPathsAre404AndBadLevelsAre400) {
    const std::string series = gad1().at("imageSeriesId");
    struct Case {
        std::string target;
        int status;
    };
    const Case cases[] = {
        {"/GridFile?imageseriesid=1&level=0", 404},
        {"/GridFile?experimentid=1&level=0", 404},
        {"/GridFile?geneid=1&project=0310&level=0", 404},
        {"/GridFile?geneid=10000&project=9999&level=0", 404},
        {"/GridFile/grids/1/Nothing.xpr&level=0", 404},
        {"/GridFile/grids/" + series + "/Gad2.xpr&level=0", 404},
        {"/GridFile?imageseriesid=" + series + "&level=3", 400},
        {"/GridFile?imageseriesid=" + series + "&level=-1", 400},
        {"/GridFile?imageseriesid=" + series + "&level=x", 400},
        {"/GridFile?imageseriesid=abc&level=0", 400},
        {"/GridFile?level=0", 400},
        {"/NoSuchThing", 404},
    };
    for (const Case& c : cases) {
        const auto result = get(c.target);
        ASSERT_TRUE(result) << c.target;
        EXPECT_EQ(result->status, c.status) << c.target;
    }
}

} // namespace

} // namespace volumira::test

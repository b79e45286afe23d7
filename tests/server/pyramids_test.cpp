// Zoomify pyramids of section images and atlas plates, the browser pages, the versions file and the search
// domain file.

#include "preferences/Version.h"
#include "ServerFixture.h"
#include "atlas/AtlasGrid.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "io/JpegCodec.h"
#include "io/MemoryStream.h"
#include "sample-data/GeneData.h"
#include "volumira-server/Catalogue.h"
#include "xml/EscapeXml.h"
#include "xml/XMLParser.h"

#include <cmath>
#include <cstdio>

namespace volumira::test {

namespace {

class Picture : public BgraImage {
  public:
    void setSize(int w, int h) override {
        width = w, height = h;
        pixels.assign(static_cast<std::size_t>(w) * h * 4, 0);
    }
    std::uint8_t* pixelBuffer() override { return pixels.data(); }
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

// Attributes of every element of a small XML document, by element name.
class Attributes : public XMLElementHandler {
  public:
    void startElement(const char* name, const char** attributes) override {
        auto& element = elements[name];
        for (const char** a = attributes; *a; a += 2)
            element[a[0]] = a[1];
    }
    void endElement(const char*) override {}
    void characterData(const char*, std::size_t) override {}
    std::map<std::string, std::map<std::string, std::string>> elements;
};

Attributes attributesOf(const std::string& xml) {
    Attributes attributes;
    XMLParser parser(&attributes);
    EXPECT_TRUE(parser.parse(xml.data(), xml.size(), true)) << xml;
    return attributes;
}

// The viewer's level count: m = max(log2(h / 256), log2(w / 256)), one more level when m is fractional.
int levelCount(int width, int height) {
    const double m = std::max(std::log2(height / 256.0), std::log2(width / 256.0));
    return static_cast<int>(std::floor(m)) + 1 + (m != std::floor(m) ? 1 : 0);
}

class PyramidTest : public ServerTest {
  protected:
    // Checks the properties file of an image and a few of its tiles; returns the properties.
    static void checkPyramid(const std::string& path, int width, int height) {
        SCOPED_TRACE(path);
        const auto properties = get("/pyramid/" + path + "/ImageProperties.xml");
        ASSERT_TRUE(properties);
        ASSERT_EQ(properties->status, 200);
        auto root = attributesOf(properties->body).elements["IMAGE_PROPERTIES"];
        EXPECT_EQ(root["WIDTH"], std::to_string(width));
        EXPECT_EQ(root["HEIGHT"], std::to_string(height));
        EXPECT_EQ(root["TILESIZE"], "256");

        const int levels = levelCount(width, height);
        std::vector<int> across(levels), down(levels);
        int tiles = 0;
        for (int l = 0; l < levels; ++l) {
            across[l] = ((width >> (levels - 1 - l)) + 255) / 256;
            down[l] = ((height >> (levels - 1 - l)) + 255) / 256;
            tiles += across[l] * down[l];
        }
        EXPECT_EQ(root["NUMTILES"], std::to_string(tiles));
        ASSERT_EQ(across[0] * down[0], 1) << "level 0 is one tile";

        struct Tile {
            int level, x, y;
        };
        const int top = levels - 1;
        for (const Tile t : {Tile{0, 0, 0}, Tile{top, across[top] - 1, down[top] - 1}, Tile{top - 2, 1, 1}}) {
            int index = t.y * across[t.level] + t.x;
            for (int l = 0; l < t.level; ++l)
                index += across[l] * down[l];
            const std::string name =
                std::to_string(t.level) + "-" + std::to_string(t.x) + "-" + std::to_string(t.y) + ".jpg";
            const auto tile =
                get("/pyramid/" + path + "/TileGroup" + std::to_string(index / 256) + "/" + name);
            ASSERT_TRUE(tile);
            ASSERT_EQ(tile->status, 200) << name;
            EXPECT_EQ(tile->get_header_value("Content-Type"), "image/jpeg");
            EXPECT_EQ(tile->get_header_value("Content-Length"), std::to_string(tile->body.size()));
            Picture picture;
            ASSERT_TRUE(decodeJpegToBgra(reinterpret_cast<const std::uint8_t*>(tile->body.data()),
                                         tile->body.size(), picture));
            const int levelWidth = width >> (levels - 1 - t.level),
                      levelHeight = height >> (levels - 1 - t.level);
            EXPECT_EQ(picture.width, std::min(256, levelWidth - 256 * t.x)) << name;
            EXPECT_EQ(picture.height, std::min(256, levelHeight - 256 * t.y)) << name;
            // The bare group form serves the same tile; a wrong group number, none.
            const auto bare = get("/pyramid/" + path + "/TileGroup/" + name);
            ASSERT_TRUE(bare);
            EXPECT_EQ(bare->body, tile->body);
            EXPECT_EQ(
                get("/pyramid/" + path + "/TileGroup" + std::to_string(index / 256 + 1) + "/" + name)->status,
                404);
        }
        for (const std::string& missing : {std::to_string(levels) + "-0-0", std::string("0-1-0"),
                                           std::to_string(top) + "-" + std::to_string(across[top]) + "-0"})
            EXPECT_EQ(get("/pyramid/" + path + "/TileGroup/" + missing + ".jpg")->status, 404) << missing;
    }

    // The mean colour of a decoded tile, red, green, blue.
    static std::array<double, 3> meanColour(const std::string& jpeg) {
        Picture picture;
        EXPECT_TRUE(
            decodeJpegToBgra(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), picture));
        std::array<double, 3> sum{};
        for (std::size_t i = 0; i < picture.pixels.size(); i += 4)
            for (int c = 0; c < 3; ++c)
                sum[c] += picture.pixels[i + 2 - c];
        for (double& s : sum)
            s /= std::max<std::size_t>(1, picture.pixels.size() / 4);
        return sum;
    }
};

TEST_F(PyramidTest, SectionImagesOfADownloadedGeneHaveTheirPyramids) {
    const auto record = searchText("Prox1", 1, 0).records.at(0);
    const std::string bytes =
        get(record.at("expressionFileUrl").substr(record.at("expressionFileUrl").find("/GridFile")))->body;
    MemoryStream stream(bytes.size());
    stream.write(bytes.data(), bytes.size());
    stream.seek(0);
    const GeneExpression gene(stream, ExpressionAtlas(annotation(), ontology()));
    ASSERT_FALSE(gene.sectionImages().empty());
    const SectionImage& image = gene.sectionImages().begin()->second;
    checkPyramid(image.primaryPath, static_cast<int>(image.width), static_cast<int>(image.height));
    checkPyramid(image.expressionPath, static_cast<int>(image.width), static_cast<int>(image.height));

    // The expression image of the section through the dentate gyrus shows the gene's cells; the
    // first section, in front of the brain, shows nothing.
    const ExpressionCell* strongest = &gene.cells().front();
    for (const ExpressionCell& cell : gene.cells())
        if (cell.level > strongest->level) strongest = &cell;
    const SectionImage* through = gene.sectionImage(strongest->section);
    ASSERT_NE(through, nullptr);
    const int levels = levelCount(static_cast<int>(through->width), static_cast<int>(through->height));
    const std::string tileName = "/TileGroup/" + std::to_string(levels - 1) + "-" +
                                 std::to_string(strongest->sectionX / 256) + "-" +
                                 std::to_string(strongest->sectionY / 256) + ".jpg";
    const auto lit = meanColour(get("/pyramid/" + through->expressionPath + tileName)->body);
    const auto dark = meanColour(get("/pyramid/" + image.expressionPath + "/TileGroup/0-0-0.jpg")->body);
    EXPECT_GT(lit[0], 20.0);
    EXPECT_LT(dark[0], 3.0);
    EXPECT_GT(get("/pyramid/" + through->primaryPath + tileName)->body.size(), 1000u);
}

TEST_F(PyramidTest, TheBrowserPagesOfSectionImagesAndSeriesExist) {
    const auto record = searchText("Calb1", 1, 0).records.at(0);
    const std::string series = record.at("imageSeriesId");
    const auto seriesPage = get("/viewSeriesInfo.do?imageSeriesId=" + series);
    ASSERT_TRUE(seriesPage);
    ASSERT_EQ(seriesPage->status, 200);
    EXPECT_EQ(seriesPage->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(seriesPage->body.find("Calb1"), std::string::npos);
    // The series page links its section images' pages, which show the image.
    const auto link = seriesPage->body.find("/viewImage.do?imageId=");
    ASSERT_NE(link, std::string::npos);
    const std::string imagePage = seriesPage->body.substr(link, seriesPage->body.find('"', link) - link);
    const auto page = get(imagePage + "&x=0.1&y=0.2&z=80");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("Calb1"), std::string::npos);
    EXPECT_NE(page->body.find("/TileGroup0/0-0-0.jpg"), std::string::npos);

    for (const std::string& unknown : {std::string("/viewImage.do?imageId=1"), std::string("/viewImage.do"),
                                       std::string("/viewSeriesInfo.do?imageSeriesId=x")})
        EXPECT_EQ(get(unknown)->status, 404) << unknown;
}

// The root is the page the viewer's Help menu opens and the versions file names as its info address.
TEST_F(PyramidTest, TheFrontPageSaysWhatTheServerIsAndLinksEveryGeneAndTheOtherPages) {
    const auto home = get("/");
    ASSERT_TRUE(home);
    ASSERT_EQ(home->status, 200);
    EXPECT_EQ(home->get_header_value("Content-Type"), "text/html; charset=utf-8");
    const std::string& page = home->body;
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("volumira-server"), std::string::npos);

    const server::Catalogue catalogue(dataFile(sample::kCatalogueFileName));
    ASSERT_GT(catalogue.genes().size(), 1u);
    EXPECT_NE(page.find(std::to_string(catalogue.genes().size()) + " genes"), std::string::npos);
    for (const server::GeneRecord& gene : catalogue.genes()) {
        SCOPED_TRACE(gene.symbol);
        EXPECT_NE(page.find("<td>" + escapeXml(gene.symbol) + "</td><td>" + escapeXml(gene.name) + "</td>"),
                  std::string::npos);
        for (const server::SeriesRecord* series : gene.series) {
            const std::string link = "/viewSeriesInfo.do?imageSeriesId=" + std::to_string(series->imageSeriesId);
            EXPECT_NE(page.find("href=\"" + link + "\""), std::string::npos);
        }
    }

    // The pages and files it links answer: the two files and, for one gene, its series page (which names
    // the gene) and its grid file.
    const server::GeneRecord& last = catalogue.genes().back();
    const std::string series = std::to_string(last.series.front()->imageSeriesId);
    const std::vector<std::string> links = {"/Volumira/versions.xml", "/Volumira/SearchDomains.xml",
                                            "/viewSeriesInfo.do?imageSeriesId=" + series,
                                            "/GridFile?imageseriesid=" + series + "&level=2"};
    for (const std::string& link : links) {
        SCOPED_TRACE(link);
        EXPECT_NE(page.find("href=\"" + escapeXml(link) + "\""), std::string::npos);
        const auto answer = get(link);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        if (link.find("viewSeriesInfo") != std::string::npos) {
            EXPECT_NE(answer->body.find(escapeXml(last.name)), std::string::npos);
        }
    }

    // Only the root itself is the front page.
    EXPECT_EQ(get("/index")->status, 404);
}

TEST_F(PyramidTest, AtlasPlatesNamedByThePlateLookupsHavePyramids) {
    char coronal[16];
    std::snprintf(coronal, sizeof coronal, "%03d", atlas::kCoronalPlatePositions[60]);
    checkPyramid(std::string("production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-") + coronal +
                     ".aff",
                 atlas::kCoronalPlateWidth, atlas::kCoronalPlateHeight);
    const std::string sagittal =
        std::string("production1/KVRTReferenceAtlas/Sagittal_Annotated/zoomify/Atlas-Sagittal-") +
        atlas::kSagittalPlateNames[5] + ".aff";
    const auto properties = attributesOf(get("/pyramid/" + sagittal + "/ImageProperties.xml")->body);
    const auto& root = properties.elements.at("IMAGE_PROPERTIES");
    checkPyramid(sagittal, std::stoi(root.at("WIDTH")), std::stoi(root.at("HEIGHT")));

    for (const std::string& unknown :
         {std::string("production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-002.aff"),
          std::string("production1/KVRTReferenceAtlas/Sagittal_Annotated/zoomify/Atlas-Sagittal-99-Z.aff"),
          std::string("series/1/primary/101"), std::string("../../etc/passwd")})
        EXPECT_EQ(get("/pyramid/" + unknown + "/ImageProperties.xml")->status, 404) << unknown;
}

TEST_F(PyramidTest, TheVersionsAndSearchDomainFilesAreServed) {
    const auto domains = get("/Volumira/SearchDomains.xml");
    ASSERT_TRUE(domains);
    ASSERT_EQ(domains->status, 200);
    EXPECT_EQ(domains->body, readBytes(dataFile("SearchDomains.xml")));
    const std::string version = attributesOf(domains->body).elements["SearchDomains"]["version"];
    ASSERT_FALSE(version.empty());

    const auto versions = get("/Volumira/versions.xml");
    ASSERT_TRUE(versions);
    ASSERT_EQ(versions->status, 200);
    EXPECT_FALSE(versions->get_header_value("Content-Type").empty());
    auto elements = attributesOf(versions->body).elements;
    // The build of the viewer of the same release, so that it is not offered itself as an update.
    EXPECT_EQ(elements["windows"]["build"], std::to_string(build::kVersionBuild));
    EXPECT_EQ(elements["linux"]["build"], std::to_string(build::kVersionBuild));
    EXPECT_EQ(elements["searchAPI"]["oldest"], "1");
    EXPECT_EQ(elements["searchAPI"]["domains"], version);
    EXPECT_NE(versions->body.find("<infoUrl>http://127.0.0.1:" + std::to_string(port()) + "/</infoUrl>"),
              std::string::npos);
}

} // namespace

} // namespace volumira::test

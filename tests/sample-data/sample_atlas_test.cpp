#include "atlas/ColourMap.h"
#include "atlas/Mesh.h"
#include "atlas/Ontology.h"
#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "io/Image3d.h"
#include "sample-data/Anatomy.h"
#include "sample-data/SampleAtlas.h"
#include "support/TempDir.h"
#include "xml/XMLParser.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace volumira;

namespace {

// One small sample atlas for the whole suite: drawing it is the slow part.
class SampleAtlasTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        grid_ = sample::SampleGrid::small();
        sample::writeSampleAtlas(dir_->path(), grid_);
        const auto [nx, ny, nz] = grid_.fine;
        labels_ = new Image3d;
        ASSERT_TRUE(labels_->readRaw(dir_->file("Annotation25"), nx, ny, nz, 100.0f));
        nissl_ = new Image3d;
        nissl_->readCompressed(dir_->file("Atlas25.comp"), nx, ny, nz, 100.0f);
        const auto [cx, cy, cz] = grid_.coarse;
        coarse_ = new Image3d;
        ASSERT_TRUE(coarse_->readRaw(dir_->file("Annotation100"), cx, cy, cz, 400.0f));
    }
    static void TearDownTestSuite() {
        delete labels_;
        delete nissl_;
        delete coarse_;
        delete dir_;
    }

    static std::uint8_t label(int i, int j, int k) {
        return labels_->data()[i + static_cast<std::size_t>(j) * grid_.fine[0] +
                               static_cast<std::size_t>(k) * grid_.fine[0] * grid_.fine[1]];
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline sample::SampleGrid grid_;
    static inline Image3d *labels_ = nullptr, *nissl_ = nullptr, *coarse_ = nullptr;
};

} // namespace

TEST_F(SampleAtlasTest, WritesEveryInstalledFile) {
    for (const char* name : {"Annotation100", "Annotation25", "Atlas25.comp", "SagittalAtlasMap.comp",
                             "ontology.csv", "Colormaps/TSA.map", "Colormaps/Expression.map",
                             "Colormaps/Jet.map", "SearchDomains.xml", "Catalogue.db", "GLM.db"})
        EXPECT_TRUE(std::filesystem::is_regular_file(dir_->file(name))) << name;
    for (const auto& s : sample::sampleStructures())
        EXPECT_TRUE(std::filesystem::is_regular_file(dir_->file("Mesh25/" + s.acronym + ".msh")))
            << s.acronym;
    EXPECT_FALSE(std::filesystem::exists(dir_->file("Atlas25"))) << "the Nissl volume ships compressed only";
}

TEST_F(SampleAtlasTest, TheOntologyIsATreeUnderTheRootWithTheSearchableRegions) {
    const Ontology ontology(dir_->file("ontology.csv"));
    EXPECT_EQ(ontology.count(), static_cast<int>(sample::sampleStructures().size()) + 1);
    EXPECT_EQ(ontology.root().acronym, "root");
    const std::map<int, std::string> searchable = {{3, "Isocortex"}, {8, "OLF"},  {24, "HPF"}, {35, "STR"},
                                                   {49, "PAL"},      {62, "TH"},  {100, "HY"}, {128, "MB"},
                                                   {165, "P"},       {189, "MY"}, {224, "CB"}};
    for (const auto& [index, acronym] : searchable) {
        const Structure& s = ontology.structureAt(index);
        EXPECT_EQ(s.acronym, acronym) << index;
        EXPECT_TRUE(s.ancestorSet.intersects(ontology.root().selfSet)) << acronym << " lies under the root";
    }
    // Every label in the volumes names a structure of the file.
    std::set<int> used;
    for (std::size_t i = 0; i < labels_->voxelCount(); ++i)
        used.insert(labels_->data()[i]);
    for (int l : used) {
        if (l) {
            EXPECT_NE(ontology.structureAt(l).id, -1) << "label " << l;
        }
    }
    // Every structure without children holds voxels of its own.
    for (const auto& s : sample::sampleStructures()) {
        if (ontology.structureAt(s.index).children.empty()) {
            EXPECT_TRUE(used.count(s.index)) << s.acronym;
        }
    }
    for (const auto& [index, acronym] : searchable) {
        bool present = false;
        for (int l : used)
            present |=
                l && ontology.structureAt(l).ancestorSet.intersects(ontology.structureAt(index).selfSet);
        EXPECT_TRUE(present) << acronym << " has voxels";
    }
}

TEST_F(SampleAtlasTest, TheBrainIsMirrorSymmetricAndTheGridsAgree) {
    const auto [nx, ny, nz] = grid_.fine;
    std::size_t asymmetric = 0, inside = 0;
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                asymmetric += label(i, j, k) != label(i, j, nz - 1 - k);
                inside += label(i, j, k) != 0;
            }
    EXPECT_EQ(asymmetric, 0u);
    EXPECT_GT(inside, labels_->voxelCount() / 5) << "the brain fills a good part of the box";
    EXPECT_LT(inside, labels_->voxelCount() * 4 / 5) << "and leaves room around it";

    // Each coarse voxel holds the most frequent label of the fine voxels it covers.
    const auto [cx, cy, cz] = grid_.coarse;
    std::size_t mismatches = 0;
    for (int k = 0; k < cz; ++k)
        for (int j = 0; j < cy; ++j)
            for (int i = 0; i < cx; ++i) {
                std::map<int, int> counts;
                for (int c = 4 * k; c < std::min(4 * k + 4, nz); ++c)
                    for (int b = 4 * j; b < std::min(4 * j + 4, ny); ++b)
                        for (int a = 4 * i; a < std::min(4 * i + 4, nx); ++a)
                            ++counts[label(a, b, c)];
                int best = 0, bestCount = 0;
                for (const auto& [l, n] : counts)
                    if (n > bestCount) best = l, bestCount = n;
                mismatches += coarse_->data()[i + static_cast<std::size_t>(j) * cx +
                                              static_cast<std::size_t>(k) * cx * cy] != best;
            }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(SampleAtlasTest, NisslStainsTissueAndLeavesVentriclesAndOutsideEmpty) {
    ASSERT_TRUE(nissl_->isLoaded());
    const Ontology ontology(dir_->file("ontology.csv"));
    std::map<std::string, std::pair<double, std::size_t>> byAcronym;
    for (std::size_t i = 0; i < labels_->voxelCount(); ++i) {
        auto& [sum, count] = byAcronym[ontology.structureAt(labels_->data()[i]).acronym];
        sum += nissl_->data()[i];
        ++count;
    }
    const auto mean = [&](const std::string& a) { return byAcronym[a].first / byAcronym[a].second; };
    // JPEG blurs edges, so compare means rather than single voxels.
    EXPECT_LT(mean("NA"), 8) << "outside the brain";
    EXPECT_LT(mean("VL"), 40) << "lateral ventricles are empty";
    EXPECT_GT(mean("SS"), mean("cc") + 60) << "cortex stains darker than fibre tracts";
    EXPECT_GT(mean("CP"), mean("GPe") + 20) << "striatum stains darker than the pale pallidum";
}

TEST_F(SampleAtlasTest, MeshesAreClosedSurfacesInsideTheBox) {
    for (const char* acronym : {"root", "CP", "CB", "TH"}) {
        Mesh mesh;
        mesh.readMesh(dir_->file(std::string("Mesh25/") + acronym + ".msh"));
        ASSERT_GT(mesh.triangleCount(), 0u) << acronym;
        mesh.scalePositions(0.25f);
        for (const MeshVertex& v : mesh.vertices)
            for (int a = 0; a < 3; ++a) {
                EXPECT_GE(v.position[a], 0.0f) << acronym;
                EXPECT_LE(v.position[a], 133.0f) << acronym;
            }
        // Every edge of a closed surface belongs to exactly two triangles.
        std::map<std::pair<int, int>, int> edges;
        for (const auto& strip : mesh.strips)
            for (std::size_t k = 0; k + 2 < strip.size(); ++k)
                for (int e = 0; e < 3; ++e) {
                    const int a = strip[k + e], b = strip[k + (e + 1) % 3];
                    if (a != b) ++edges[{std::min(a, b), std::max(a, b)}];
                }
        std::size_t open = 0;
        for (const auto& [edge, uses] : edges)
            open += uses != 2;
        EXPECT_EQ(open, 0u) << acronym;
    }
}

TEST_F(SampleAtlasTest, ColourMapsAndSearchDomainsAreWhatTheProgramExpects) {
    ColourMap jet, heat, atlasColours;
    jet.load(dir_->file("Colormaps/Jet.map"));
    heat.load(dir_->file("Colormaps/Expression.map"));
    atlasColours.load(dir_->file("Colormaps/TSA.map"));
    EXPECT_EQ(jet.firstColourIndex(), 16) << "the lowest jet levels are black";
    EXPECT_EQ(heat.colour(0), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(heat.colour(255), (std::array<std::uint8_t, 3>{255, 255, 255}));
    const Ontology ontology(dir_->file("ontology.csv"));
    for (const auto& s : sample::sampleStructures()) {
        const auto c = atlasColours.colour(s.index);
        EXPECT_EQ((std::array<int, 3>{c[0], c[1], c[2]}), s.rgb) << s.acronym;
    }

    struct Counter : XMLElementHandler {
        void startElement(const char* name, const char** attributes) override {
            if (std::strcmp(name, "Domain") == 0) ++domains;
            if (std::strcmp(name, "Corrana") == 0)
                for (const char** a = attributes; *a; a += 2)
                    corrana[a[0]] = a[1];
        }
        void endElement(const char*) override {}
        void characterData(const char*, std::size_t) override {}
        int domains = 0;
        std::map<std::string, std::string> corrana;
    } counter;
    XMLParser parser(&counter);
    const std::string xml = test::readBytes(dir_->file("SearchDomains.xml"));
    ASSERT_TRUE(parser.parse(xml.data(), xml.size(), true));
    EXPECT_GE(counter.domains, 2 * 11) << "both lists name at least the searchable regions";
    EXPECT_EQ(counter.corrana["coronal"], "true");
    EXPECT_EQ(counter.corrana["sagittal"], "true");
}

TEST_F(SampleAtlasTest, TheSagittalMappingCoversTheBrainOnItsPlates) {
    FileStream file(dir_->file("SagittalAtlasMap.comp"), FileStream::Mode::ReadBinary);
    MemoryStream plates, xs, ys;
    readCompressedBlock(file, plates);
    readCompressedBlock(file, xs);
    readCompressedBlock(file, ys);
    ASSERT_EQ(plates.size(), coarse_->voxelCount());
    ASSERT_EQ(xs.size(), 2 * coarse_->voxelCount());
    ASSERT_EQ(ys.size(), 2 * coarse_->voxelCount());
    std::size_t onPlates = 0;
    for (std::size_t i = 0; i < plates.size(); ++i) {
        const int plate = plates.data()[i];
        EXPECT_TRUE(plate == 255 || plate < 21) << i;
        if (plate != 255) {
            ++onPlates;
            EXPECT_NE(coarse_->data()[i], 0) << "only voxels in the brain lie on a plate";
        }
    }
    EXPECT_GT(onPlates, 0u);
}

TEST(SampleAtlas, TheSameGridGivesTheSameBytes) {
    test::TempDir a, b;
    sample::writeSampleAtlas(a.path(), sample::SampleGrid::small());
    sample::writeSampleAtlas(b.path(), sample::SampleGrid::small());
    for (const auto& entry : std::filesystem::recursive_directory_iterator(a.path())) {
        if (!entry.is_regular_file()) continue;
        const auto relative = std::filesystem::relative(entry.path(), a.path());
        EXPECT_EQ(test::readBytes(entry.path().string()), test::readBytes(b.file(relative.string())))
            << relative;
    }
}

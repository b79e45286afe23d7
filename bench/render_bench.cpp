// Expression drawing in an offscreen context (llvmpipe here), against the work it cannot avoid:
//   compiling the display lists of a gene of 50,000 cells             goal < 100 ms
//   quality drawing of four such genes (lit icosahedra from the lists)
//       vs the same triangles from one vertex buffer in one call      goal <= 1.3 x
//   fast drawing (octahedra) of the same genes vs quality drawing     goal: at least 2 x faster
//       and the same ratio for the bare shapes from one buffer each, what the rasteriser leaves
// Usage: render_bench [work-dir] [benchmark flags]

#include "BenchMain.h"
#include "atlas/AtlasGrid.h"
#include "atlas/ColourMap.h"
#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "io/CompressedBlock.h"
#include "io/Image3d.h"
#include "io/MemoryStream.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/ExpressionRenderer.h"
#include "render/ExpressorMesh.h"
#include "render/ExpressorStyle.h"
#include "render/GL.h"
#include "render/OffscreenContext.h"

#include <EGL/egl.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

using namespace volumira;
namespace fs = std::filesystem;

namespace {

constexpr int kCells = 50000;
constexpr int kGenes = 4;
constexpr int kStructures = 40;
constexpr int kWidth = 1024, kHeight = 768;

struct World {
    std::unique_ptr<OffscreenContext> context;
    std::unique_ptr<Ontology> ontology;
    std::unique_ptr<Image3d> annotation;
    ColourMap levels, jet;
    MemorySettingsStore store;
    std::unique_ptr<UserPreferences> preferences;
    std::unique_ptr<BrainExpressionModel> model;
    std::vector<std::unique_ptr<GeneExpression>> genes;
    std::vector<std::unique_ptr<ExpressionRenderer>> renderers;
};
World* gWorld = nullptr;

void appendInt32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void appendFloat(std::vector<std::uint8_t>& b, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    appendInt32(b, bits);
}

// A gene of kCells cells spread over the grid; levels wander so that colours change often, as in
// real data. `seed` shifts the cells so that the four genes differ.
std::unique_ptr<GeneExpression> makeGene(int seed, const ExpressionAtlas& atlas) {
    std::vector<std::uint8_t> b;
    for (int e = 0; e < GeneExpression::kHeaderSize; ++e)
        appendInt32(b, e == GeneExpression::kHeaderCellCount ? kCells : 0);
    for (const char* s : {"bench gene", "Bg1", "", "", ""}) {
        b.push_back(static_cast<std::uint8_t>(std::strlen(s)));
        b.insert(b.end(), s, s + std::strlen(s));
    }
    const int voxels = atlas::kCoarseDims[0] * atlas::kCoarseDims[1] * atlas::kCoarseDims[2];
    const int step = voxels / kCells;
    for (int i = 0; i < kCells; ++i) {
        appendInt32(b, static_cast<std::uint32_t>(1 + i * step + seed));
        appendFloat(b, 10.0f);
        appendFloat(b, (i % 10) / 10.0f);
        appendFloat(b, static_cast<float>((i * 37 + seed * 11) % 256));
        for (int v : {1, 0, 0, 1 + (i * 13 + seed) % 30}) {
            b.push_back(static_cast<std::uint8_t>(v));
            b.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    // Magic, format, both block lengths and the deflated bytes, which never exceed zlib's bound.
    MemoryStream file(16 + b.size() + b.size() / 500 + 4096);
    file.writeInt32(static_cast<std::int32_t>(GeneExpression::kMagic));
    file.writeInt32(GeneExpression::kFormatCurrent);
    writeCompressedBlock(file, b.data(), b.size());
    file.seek(0);
    return std::make_unique<GeneExpression>(file, atlas);
}

void writeText(const std::string& path, const std::string& text) {
    UniqueFile f = openFile(path, "wb");
    std::fwrite(text.data(), 1, text.size(), f.get());
}

void prepare(const std::string& dir) {
    fs::create_directories(dir);
    auto* w = new World;
    gWorld = w;
    w->context = std::make_unique<OffscreenContext>(kWidth, kHeight);
    if (!w->context->makeCurrent()) throw std::runtime_error("no GL context");
    std::string csv = "root,root,,255,255,255,1,997,,0,0,0\n";
    for (int s = 2; s <= kStructures; ++s)
        csv += "S" + std::to_string(s) + ",S" + std::to_string(s) + ",root," + std::to_string(s * 6) +
               ",100," + std::to_string(255 - s * 6) + "," + std::to_string(s) + "," +
               std::to_string(1000 + s) + ",,0,0,0\n";
    writeText(dir + "/ontology.csv", csv);
    w->ontology = std::make_unique<Ontology>(dir + "/ontology.csv");
    std::string levels, jet;
    for (int i = 0; i < 256; ++i) {
        levels += i < 20 ? "0 0 0\n" : std::to_string(i) + " " + std::to_string(255 - i) + " 80\n";
        jet += i < 5 ? "0 0 0\n" : "255 " + std::to_string(i) + " 0\n";
    }
    writeText(dir + "/levels.map", levels);
    writeText(dir + "/jet.map", jet);
    w->levels.load(dir + "/levels.map");
    w->jet.load(dir + "/jet.map");
    const auto [nx, ny, nz] = atlas::kCoarseDims;
    w->annotation = std::make_unique<Image3d>(nx, ny, nz, atlas::kCoarseSpacing);
    for (int i = 0; i < nx * ny * nz; ++i)
        w->annotation->data()[i] = static_cast<std::uint8_t>(1 + (i / (nx * 3)) % kStructures);
    const ExpressionAtlas atlas(*w->annotation, *w->ontology);
    w->preferences = std::make_unique<UserPreferences>(w->store, PreferencesEnvironment::ofProcess());
    w->model = std::make_unique<BrainExpressionModel>(*w->preferences);
    w->model->setExpressorThreshold(0.0f, -1.0f, false);
    w->model->setGeneColourMode(kColourLevel, false);
    for (int g = 0; g < kGenes; ++g) {
        w->genes.push_back(makeGene(g, atlas));
        w->renderers.push_back(std::make_unique<ExpressionRenderer>(
            *w->model, *w->genes.back(), *w->preferences, LevelColourTables{w->levels, w->jet}));
    }
}

// The scene's camera and lights, roughly: the whole grid in view, two directional lights.
void sceneState(bool lit) {
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double half = atlas::kCoarseDims[0] / 2, aspect = static_cast<double>(kHeight) / kWidth;
    glOrtho(-half, half, -half * aspect, half * aspect, -10 * half, 10 * half);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(0.8f, -0.8f, -0.8f);
    glTranslatef(-atlas::kCoarseDims[0] / 2.0f, -atlas::kCoarseDims[1] / 2.0f, -atlas::kCoarseDims[2] / 2.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const float light[4] = {1, 1, -1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glEnable(GL_LIGHT0);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    if (lit)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

void setFast(bool fast) {
    gWorld->preferences->setFasterLowerQualityExpressorDrawing(fast);
    for (auto& r : gWorld->renderers)
        r->markDirty();
}

void drawAll() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (auto& r : gWorld->renderers)
        r->drawCells(false);
    glFinish();
}

void buildLists(benchmark::State& state, bool fast) {
    setFast(fast);
    sceneState(!fast);
    // No structure passes the filter: the lists are compiled but none is called.
    gWorld->model->setExpressionStructures(StructureSet(), false);
    ExpressionRenderer& renderer = *gWorld->renderers.front();
    for (auto _ : state) {
        renderer.markDirty();
        renderer.drawCells(false);
        glFinish();
    }
    gWorld->model->setExpressionStructures(StructureSet::full(), false);
}

void BM_BuildListsQuality(benchmark::State& state) {
    buildLists(state, false);
}
void BM_BuildListsFast(benchmark::State& state) {
    buildLists(state, true);
}

void draw(benchmark::State& state, bool fast) {
    setFast(fast);
    sceneState(!fast);
    drawAll(); // builds the lists
    for (auto _ : state)
        drawAll();
}

void BM_DrawQuality(benchmark::State& state) {
    draw(state, false);
}
void BM_DrawFast(benchmark::State& state) {
    draw(state, true);
}

// The same shapes as the lists (every cell that is shown), from one buffer in one call: lit icosahedra for
// quality, unlit octahedra for fast drawing. The fast pair shows how much of the fast/quality ratio the
// shapes themselves leave on this rasteriser.
void drawFromOneBuffer(benchmark::State& state, const IndexedShape& shape, float shapeFactor, bool lit) {
    std::vector<float> data; // normal, vertex
    const ColourMap& table = gWorld->levels;
    for (auto& gene : gWorld->genes)
        for (const ExpressionCell& cell : gene->cells()) {
            if (isBlackLevel(table, cell.level)) continue;
            const float r = expressorSize(cell) * shapeFactor;
            for (std::uint32_t k : shape.indices) {
                const auto& v = shape.vertices[k];
                data.insert(data.end(), {v[0], v[1], v[2]});
                data.insert(data.end(), {cell.x + r * v[0], cell.y + r * v[1], cell.z + r * v[2]});
            }
        }
    auto genBuffers = reinterpret_cast<PFNGLGENBUFFERSPROC>(eglGetProcAddress("glGenBuffers"));
    auto bindBuffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(eglGetProcAddress("glBindBuffer"));
    auto bufferData = reinterpret_cast<PFNGLBUFFERDATAPROC>(eglGetProcAddress("glBufferData"));
    auto deleteBuffers = reinterpret_cast<PFNGLDELETEBUFFERSPROC>(eglGetProcAddress("glDeleteBuffers"));
    GLuint buffer = 0;
    genBuffers(1, &buffer);
    bindBuffer(GL_ARRAY_BUFFER, buffer);
    bufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
               GL_STATIC_DRAW);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glNormalPointer(GL_FLOAT, 6 * sizeof(float), nullptr);
    glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), reinterpret_cast<const void*>(3 * sizeof(float)));
    sceneState(lit);
    // The renderer leaves out the faces turned away from the viewer, and so does its floor.
    glEnable(GL_CULL_FACE);
    glColor3f(0.9f, 0.9f, 0.0f);
    const GLsizei vertices = static_cast<GLsizei>(data.size() / 6);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, vertices);
        glFinish();
    }
    glDisable(GL_CULL_FACE);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    bindBuffer(GL_ARRAY_BUFFER, 0);
    deleteBuffers(1, &buffer);
    state.counters["triangles"] = static_cast<double>(vertices / 3);
}

void BM_DrawQualityFloor(benchmark::State& state) {
    drawFromOneBuffer(state, unitIcosahedron(), 1.0f, true);
}
void BM_DrawFastFloor(benchmark::State& state) {
    // Octahedra at the renderer's size: twice the unit shape's, as wide as the icosahedra.
    drawFromOneBuffer(state, unitOctahedron(), 2.0f, false);
}

BENCHMARK(BM_BuildListsQuality)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildListsFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawQuality)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawQualityFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFastFloor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    const std::string dir = volumira::bench::initialise(
        argc, argv, (fs::temp_directory_path() / "volumira-render-bench").string(), 5);
    try {
        prepare(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "render_bench: %s\n", e.what());
        return 1;
    }
    volumira::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("BM_DrawQuality", "BM_DrawQualityFloor", 1.3);
    reporter.printRatio("BM_DrawFast", "BM_DrawQuality", 0.5);
    if (reporter.median("BM_DrawFastFloor") >= 0 && reporter.median("BM_DrawQualityFloor") >= 0)
        std::printf("%-24s %6.3f x %-26s (the shapes alone, from one buffer each)\n", "BM_DrawFastFloor",
                    reporter.median("BM_DrawFastFloor") / reporter.median("BM_DrawQualityFloor"),
                    "BM_DrawQualityFloor");
    const double build = reporter.median("BM_BuildListsQuality");
    if (build >= 0)
        std::printf("%-24s %8.1f ms                     goal <  100 ms  %s\n", "BM_BuildListsQuality", build,
                    build < 100 ? "met" : "MISSED");
    gWorld->renderers.clear();
    fs::remove_all(dir);
    benchmark::Shutdown();
    return 0;
}

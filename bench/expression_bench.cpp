// Gene expression files and the expression model, against the work they cannot avoid:
//   reading a format-20000 file of 200,000 cells (structures assigned)  vs  zlib's uncompress of its
//       block plus one pass over the cells          goal <= 1.3 x
//   writing it                                      vs  zlib's compress of the same bytes   goal <= 1.2 x
//   model setters with three listeners              goal: no allocation per event
// Usage: expression_bench [work-dir] [benchmark flags]

#include "BenchMain.h"
#include "atlas/AtlasGrid.h"
#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "io/Image3d.h"
#include "io/MemoryStream.h"
#include "platform/MemoryPolicy.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <zlib.h>

using namespace volumira;
namespace fs = std::filesystem;

// Every allocation of the process is counted, so the setter benchmark can report allocations per event.
static std::atomic<long> gAllocations{0};

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC cannot see that the replaced operator new above is what pairs with these.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

constexpr int kCells = 200000;
std::string gDir, gFile, gSaved;
std::unique_ptr<Image3d> gAnnotation;
std::unique_ptr<Ontology> gOntology;
std::vector<std::uint8_t> gBlock; // the uncompressed block of gFile

void appendInt32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void appendFloat(std::vector<std::uint8_t>& b, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    appendInt32(b, bits);
}

void appendString(std::vector<std::uint8_t>& b, const std::string& s) {
    b.push_back(static_cast<std::uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// A coarse annotation of four structures in slabs, an ontology naming them, and a format-20000 file
// whose cells take every sixth grid point, with plausible values.
void prepare() {
    fs::create_directories(gDir);
    const std::string ontologyPath = gDir + "/ontology.csv";
    UniqueFile csv = openFile(ontologyPath, "wb");
    const char* text = "root,root,,255,255,255,1,997,,0,0,0\nCortex,CTX,root,200,60,60,2,688,,60,20,50\n"
                       "Thalamus,TH,root,60,200,60,3,549,,70,40,57\nHypothalamus,HY,root,60,60,200,4,1097,,75,60,57\n";
    std::fwrite(text, 1, std::strlen(text), csv.get());
    csv.reset();
    gOntology = std::make_unique<Ontology>(ontologyPath);
    const auto [nx, ny, nz] = atlas::kCoarseDims;
    gAnnotation = std::make_unique<Image3d>(nx, ny, nz, atlas::kCoarseSpacing);
    std::uint8_t* voxels = gAnnotation->data();
    for (int i = 0; i < nx * ny * nz; ++i)
        voxels[i] = static_cast<std::uint8_t>(1 + (i / (nx * 7)) % 4);

    std::vector<std::uint8_t>& b = gBlock;
    for (int e = 0; e < GeneExpression::kHeaderSize; ++e)
        appendInt32(b, e == GeneExpression::kHeaderSectionImageCount ? 20
                       : e == GeneExpression::kHeaderCellCount       ? kCells
                                                                     : static_cast<std::uint32_t>(e));
    for (const char* s : {"glutamate decarboxylase 1", "Gad1", "", "", ""})
        appendString(b, s);
    for (std::uint32_t section = 0; section < 20; ++section) {
        for (std::uint32_t v : {section * 4, 1000 + section, 8000u, 6000u})
            appendInt32(b, v);
        appendString(b, "/data/gad1/primary/" + std::to_string(section) + ".jp2");
        appendString(b, "/data/gad1/expression/" + std::to_string(section) + ".jp2");
    }
    for (int i = 0; i < kCells; ++i) {
        appendInt32(b, static_cast<std::uint32_t>(1 + 6 * i));
        appendFloat(b, 0.5f + (i % 7) * 0.1f);
        appendFloat(b, (i % 11) / 11.0f);
        appendFloat(b, static_cast<float>(i % 255));
        for (int v : {(i / 300) % 80, i % 8000, (i * 7) % 6000, 1 + i % 30}) {
            b.push_back(static_cast<std::uint8_t>(v));
            b.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    gFile = gDir + "/Gad1.xpr";
    gSaved = gDir + "/saved.xpr";
    FileStream file(gFile, FileStream::Mode::WriteBinary);
    file.writeInt32(static_cast<std::int32_t>(GeneExpression::kMagic));
    file.writeInt32(GeneExpression::kFormatCurrent);
    writeCompressedBlock(file, gBlock.data(), gBlock.size());
    file.close();
}

void BM_ReadXpr(benchmark::State& state) {
    const ExpressionAtlas atlas(*gAnnotation, *gOntology);
    for (auto _ : state) {
        GeneExpression gene(gFile, atlas);
        benchmark::DoNotOptimize(gene.cells().data());
    }
}

// Reading the file, inflating its block into fresh memory, as any reader of a new file must, and
// touching every cell record once.
void BM_ReadXprFloor(benchmark::State& state) {
    for (auto _ : state) {
        const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[gBlock.size()]);
        const std::vector<std::uint8_t> file = volumira::bench::readWhole(gFile);
        uLongf produced = static_cast<uLongf>(gBlock.size());
        if (uncompress(out.get(), &produced, file.data() + 16, static_cast<uLong>(file.size() - 16)) != Z_OK)
            state.SkipWithError("uncompress failed");
        std::uint64_t sum = 0;
        const std::uint8_t* cells = out.get() + (produced - std::size_t{kCells} * ExpressionCell::kRecordSize);
        for (int i = 0; i < kCells; ++i) {
            std::int32_t gridId;
            std::memcpy(&gridId, cells + std::size_t{ExpressionCell::kRecordSize} * i, 4);
            sum += static_cast<std::uint64_t>(gridId);
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_WriteXpr(benchmark::State& state) {
    const GeneExpression gene(gFile, ExpressionAtlas(*gAnnotation, *gOntology));
    for (auto _ : state)
        gene.saveExpression(gSaved);
}

void BM_WriteXprFloor(benchmark::State& state) {
    std::vector<Bytef> compressed(compressBound(static_cast<uLong>(gBlock.size())));
    for (auto _ : state) {
        uLongf length = static_cast<uLongf>(compressed.size());
        if (compress(compressed.data(), &length, gBlock.data(), static_cast<uLong>(gBlock.size())) != Z_OK)
            state.SkipWithError("compress failed");
        benchmark::DoNotOptimize(compressed.data());
    }
}

class CountingListener : public BrainExpressionModelListener {
  public:
    void modelChanged(ModelEvent event, BrainExpressionModel&, std::int32_t argument) override {
        total += static_cast<std::int32_t>(event) + argument;
    }
    long total = 0;
};

void BM_ModelSetters(benchmark::State& state) {
    MemorySettingsStore store;
    UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
    auto model = std::make_unique<BrainExpressionModel>(preferences);
    CountingListener listeners[3];
    for (auto& l : listeners)
        model->addListener(&l);
    long events = 0;
    const long before = gAllocations.load();
    float z = 20.0f;
    for (auto _ : state) {
        z = z > 200.0f ? 20.0f : z + 1.0f;
        model->setZoom(z, true);
        model->setRotation({0.0f, 0.0f, 0.0f, 1.0f}, true);
        model->setSectionPosition(1, z / 4.0f, true);
        model->setClippingPlane(2, z / 4.0f, true, true);
        model->setLevelThreshold(z / 2.0f, -1.0f, true);
        events += 5;
    }
    state.counters["allocations/event"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(events ? events : 1);
    for (auto& l : listeners)
        model->removeListener(&l);
}

BENCHMARK(BM_ReadXpr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXprFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXpr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXprFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelSetters);

} // namespace

int main(int argc, char** argv) {
    // As the program's own executables do.
    configureAllocator();
    gDir = volumira::bench::initialise(argc, argv, (fs::temp_directory_path() / "volumira-expression-bench").string(),
                                       5);
    prepare();
    volumira::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nMedian times and ratios:\n");
    reporter.printRatio("BM_ReadXpr", "BM_ReadXprFloor", 1.3);
    reporter.printRatio("BM_WriteXpr", "BM_WriteXprFloor", 1.2);
    benchmark::Shutdown();
    return 0;
}

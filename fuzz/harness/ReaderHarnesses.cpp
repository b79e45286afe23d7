#include "Harnesses.h"
#include "MemoryFile.h"
#include "SampleWorld.h"

#include "atlas/AtlasGrid.h"
#include "atlas/ColourMap.h"
#include "atlas/Mesh.h"
#include "atlas/Ontology.h"
#include "atlas/SagittalMap.h"
#include "bookmarks/BookmarkTree.h"
#include "bookmarks/BookmarksReader.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "images/ImageProperties.h"
#include "io/CompressedBlock.h"
#include "io/Image3d.h"
#include "io/JpegCodec.h"
#include "io/MemoryStream.h"
#include "search/GeneQuery.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"
#include "search/SearchConfigReader.h"
#include "search/VersionQuery.h"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace volumira::fuzz {

namespace {

MemoryStream memoryStream(Bytes bytes) {
    MemoryStream stream(bytes.size());
    if (!bytes.empty()) std::memcpy(stream.data(), bytes.data(), bytes.size());
    return stream;
}

// The first four bytes choose the sizes of the chunks the rest arrives in, over and over, as a
// transfer's reads would cut it.
template <typename Deliver> void inChunks(Bytes bytes, Deliver deliver) {
    if (bytes.size() < 4) return;
    const Bytes sizes = bytes.first(4);
    Bytes rest = bytes.subspan(4);
    for (std::size_t i = 0; !rest.empty(); ++i) {
        const std::size_t n = std::min<std::size_t>(rest.size(), 1u + sizes[i % 4]);
        deliver(rest.first(n));
        rest = rest.subspan(n);
    }
}

class Pixels : public BgraImage {
  public:
    void setSize(int width, int height) override { pixels.assign(static_cast<std::size_t>(width) * height * 4, 0); }
    std::uint8_t* pixelBuffer() override { return pixels.data(); }
    std::vector<std::uint8_t> pixels;
};

class IgnoredVersionAnswer : public VersionQueryListener {
  public:
    void versionChecked(VersionQuery*) override {}
    void versionCheckFailed(VersionQuery*, const std::string&) override {}
};

} // namespace

void compressedBlock(Bytes bytes) {
    MemoryStream stream = memoryStream(bytes);
    MemoryStream out;
    try {
        for (int blocks = 0; blocks < 16; ++blocks) readCompressedBlock(stream, out);
    } catch (const std::runtime_error&) {
    }
}

void sliceVolume(Bytes bytes) {
    if (bytes.size() < 3) return;
    const int nx = 1 + bytes[0] % 16, ny = 1 + bytes[1] % 64, nz = 1 + bytes[2] % 64;
    Image3d image;
    try {
        image.readCompressed(memoryFile(bytes.subspan(3)), nx, ny, nz, 25.0f);
    } catch (const std::runtime_error&) {
    }
}

void bgraJpeg(Bytes bytes) {
    Pixels image;
    try {
        decodeJpegToBgra(bytes.data(), bytes.size(), image);
    } catch (const std::runtime_error&) {
    }
}

void expression(Bytes bytes) {
    // An annotation on the expression grid itself, so cells are placed by their own voxel numbers.
    static const Image3d annotation(atlas::kCoarseDims[0], atlas::kCoarseDims[1], atlas::kCoarseDims[2],
                                    atlas::kCoarseSpacing);
    static const Ontology noStructures;
    MemoryStream stream = memoryStream(bytes);
    try {
        GeneExpression gene(stream, ExpressionAtlas(annotation, noStructures));
    } catch (const std::runtime_error&) {
    }
}

void mesh(Bytes bytes) {
    Mesh mesh;
    try {
        mesh.readMesh(memoryFile(bytes));
        (void)mesh.triangleCount();
    } catch (const std::runtime_error&) {
    }
}

void ontology(Bytes bytes) {
    try {
        const Ontology ontology(memoryFile(bytes));
        (void)ontology.searchableStructures();
    } catch (const std::runtime_error&) {
    }
}

void colourMap(Bytes bytes) {
    ColourMap map;
    try {
        map.load(memoryFile(bytes));
    } catch (const std::runtime_error&) {
    }
}

void sagittalMap(Bytes bytes) {
    const std::string records = memoryFile({}, 1);
    try {
        unpackSagittalMap(memoryFile(bytes), records);
    } catch (const std::runtime_error&) {
        return;
    }
    SagittalMap map;
    SagittalMapRecord record;
    if (map.open(records))
        for (const std::int32_t index : {0, 1, static_cast<std::int32_t>(atlas::kCoarseVoxelCount) - 1})
            map.read(index, record);
}

void searchDomains(Bytes bytes) {
    SearchConfig config(sampleWorld().ontology, sampleWorld().directory);
    try {
        SearchConfigReader reader(memoryFile(bytes), &config);
    } catch (const std::runtime_error&) {
    }
}

void versions(Bytes bytes) {
    IgnoredVersionAnswer answer;
    // Nothing listens on the discard port; the transfer is dropped at once and the response fed by hand.
    VersionQuery query(&answer, "http://127.0.0.1:9/Volumira/versions.xml", 1, 1);
    query.abort();
    inChunks(bytes, [&](Bytes chunk) { query.dataReceived(chunk.data(), chunk.size()); });
    query.transferComplete(nullptr, 0);
    (void)query.message();
}

void bookmarks(Bytes bytes) {
    BookmarkTree tree;
    BookmarkTreeAdapter adapter(tree);
    try {
        BookmarksReader reader(memoryFile(bytes), &adapter, sampleWorld().ontology);
    } catch (const std::runtime_error&) {
    }
}

void searchResponse(Bytes bytes) {
    PagedGeneList list("Gene", GeneQuery::kPageSize);
    GeneQuery query(&list, &list);
    try {
        query.headersReceived("text/xml", 0);
        inChunks(bytes, [&](Bytes chunk) { query.dataReceived(chunk.data(), chunk.size()); });
        query.transferComplete(nullptr, 0);
    } catch (const std::runtime_error&) {
    }
    for (int i = 0; i < list.size() && i < 64; ++i)
        if (const GeneExpression* gene = list.result(i)) (void)gene->suggestedFileName();
}

void geneList(Bytes bytes) {
    PagedGeneList list("Gene", 10);
    list.setImportQuestion([](const std::string&) { return false; });
    try {
        list.loadFile(memoryFile(bytes));
    } catch (const std::runtime_error&) {
    }
}

void imageProperties(Bytes bytes) {
    try {
        (void)parseImageProperties(bytes.data(), bytes.size());
    } catch (const std::runtime_error&) {
    }
}

} // namespace volumira::fuzz

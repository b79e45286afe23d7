#pragma once

// Expression files of every generation, laid out byte by byte as the readers expect them, and a small
// atlas (four structures, coarse annotation) for assigning cells to structures.

#include "atlas/AtlasGrid.h"
#include "atlas/Ontology.h"
#include "expression/ExpressionAtlas.h"
#include "io/Image3d.h"
#include "io/MemoryStream.h"
#include "support/TempDir.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>
#include <zlib.h>

namespace volumira::test {

// Little-endian bytes appended piece by piece.
struct Bytes {
    std::string data;

    Bytes& i32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8)
            data += static_cast<char>((u >> shift) & 0xffu);
        return *this;
    }
    Bytes& u32(std::uint32_t v) { return i32(static_cast<std::int32_t>(v)); }
    Bytes& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    Bytes& u16(std::uint16_t v) {
        data += static_cast<char>(v & 0xffu);
        data += static_cast<char>(v >> 8);
        return *this;
    }
    Bytes& str(const std::string& s) {
        data += static_cast<char>(s.size());
        data += s;
        return *this;
    }
    Bytes& fill(std::size_t n, char c) {
        data.append(n, c);
        return *this;
    }
    Bytes& raw(const std::string& s) {
        data += s;
        return *this;
    }
    std::size_t size() const { return data.size(); }
};

// Overwrites four little-endian bytes at an offset of a record.
inline void putInt32(std::string& record, std::size_t offset, std::int32_t v) {
    const std::string bytes = Bytes{}.i32(v).data;
    record.replace(offset, 4, bytes);
}
inline void putFloat(std::string& record, std::size_t offset, float v) {
    putInt32(record, offset, static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(v)));
}
inline void putUint16(std::string& record, std::size_t offset, std::uint16_t v) {
    record.replace(offset, 2, Bytes{}.u16(v).data);
}

// Unused bytes are filled with junk so that a reader looking at them shows.
constexpr char kJunk = '\xA5';

// The 68-byte record of version 2.
inline std::string version2Record(std::int32_t gridId, std::int32_t expressorCount, float area, float spanned,
                                  std::int32_t excluded, float level) {
    std::string r(68, kJunk);
    putInt32(r, 0, gridId);
    putInt32(r, 8, expressorCount);
    putFloat(r, 12, area);
    putFloat(r, 16, spanned);
    putInt32(r, 32, excluded);
    putFloat(r, 36, level);
    return r;
}

// The 88-byte record of version 3.
inline std::string version3Record(std::int32_t gridId, float diameter, float spanned, float level,
                                  std::uint16_t section, std::uint16_t sx, std::uint16_t sy,
                                  std::uint16_t expressors) {
    std::string r(88, kJunk);
    putInt32(r, 0, gridId);
    putFloat(r, 8, diameter);
    putFloat(r, 12, spanned);
    putFloat(r, 40, level);
    putUint16(r, 78, section);
    putUint16(r, 80, sx);
    putUint16(r, 82, sy);
    putUint16(r, 84, expressors);
    return r;
}

// The 24-byte record of the current generation.
inline std::string currentRecord(std::int32_t gridId, float diameter, float spanned, float level,
                                 std::uint16_t section, std::uint16_t sx, std::uint16_t sy,
                                 std::uint16_t expressors) {
    return Bytes{}
        .i32(gridId)
        .f32(diameter)
        .f32(spanned)
        .f32(level)
        .u16(section)
        .u16(sx)
        .u16(sy)
        .u16(expressors)
        .data;
}

// A zlib block: uncompressed length, compressed length, zlib stream.
inline std::string compressedBlock(const std::string& payload) {
    uLongf length = compressBound(static_cast<uLong>(payload.size()));
    std::vector<Bytef> out(length);
    if (compress(out.data(), &length, reinterpret_cast<const Bytef*>(payload.data()),
                 static_cast<uLong>(payload.size())) != Z_OK)
        throw std::runtime_error("compress failed");
    return Bytes{}
        .i32(static_cast<std::int32_t>(payload.size()))
        .i32(static_cast<std::int32_t>(length))
        .raw(std::string(reinterpret_cast<const char*>(out.data()), length))
        .data;
}

inline constexpr std::uint32_t kXprMagic = 0xEEEEDDDDu;

// One section image as the version 3 and current generations store it.
inline std::string sectionRecord(std::uint32_t section, std::uint32_t imageId, std::uint32_t width,
                                 std::uint32_t height, const std::string& primary,
                                 const std::string& express) {
    return Bytes{}.u32(section).u32(imageId).u32(width).u32(height).str(primary).str(express).data;
}

// A grid-generation file: step code, the stored file size for 30001, the capacity hint and one block.
inline std::string gridFile(std::int32_t format, std::int32_t stepCode, std::int32_t fileSize,
                            std::int32_t hint, const std::string& voxels) {
    Bytes b;
    b.u32(kXprMagic).i32(format).i32(stepCode);
    if (format == 30001) b.i32(fileSize);
    b.i32(hint).raw(compressedBlock(voxels));
    return b.data;
}

inline MemoryStream streamOf(const std::string& bytes) {
    MemoryStream stream(bytes.size());
    if (!bytes.empty()) std::memcpy(stream.data(), bytes.data(), bytes.size());
    return stream;
}

inline std::int32_t gridIdOf(int x, int y, int z) {
    return x + atlas::kCoarseDims[0] * y + atlas::kCoarseDims[0] * atlas::kCoarseDims[1] * z + 1;
}

// Index 1 root, 2 CTX, 3 TH, 4 HY on lines (orders) 1..4; index 9 is named by no line.
inline const char* const kSmallOntology = "root,root,,255,255,255,1,997,,0,0,0\n"
                                          "Cortex,CTX,root,200,60,60,2,688,,60,20,50\n"
                                          "Thalamus,TH,root,60,200,60,3,549,,70,40,57\n"
                                          "Hypothalamus,HY,root,60,60,200,4,1097,,75,60,57\n";

// The coarse annotation and ontology the cells are placed in. Labels are set per voxel.
class SmallAtlas {
  public:
    SmallAtlas()
        : annotation_(atlas::kCoarseDims[0], atlas::kCoarseDims[1], atlas::kCoarseDims[2],
                      atlas::kCoarseSpacing),
          ontology_(writeOntology(dir_)) {}

    void label(int x, int y, int z, std::uint8_t value) {
        annotation_.data()[static_cast<std::size_t>(gridIdOf(x, y, z) - 1)] = value;
    }
    ExpressionAtlas view() const { return ExpressionAtlas(annotation_, ontology_); }
    const Ontology& ontology() const { return ontology_; }

  private:
    static std::string writeOntology(const TempDir& dir) {
        const std::string path = dir.file("ontology.csv");
        writeBytes(path, kSmallOntology);
        return path;
    }

    TempDir dir_;
    Image3d annotation_;
    Ontology ontology_;
};

} // namespace volumira::test

#pragma once

// Reference data directories for atlas tests, written with the program's own writers. The volumes have
// the real grid sizes, since the atlas accepts no other.

#include "atlas/AtlasGrid.h"
#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "io/Image3d.h"
#include "io/JpegCodec.h"
#include "platform/FileUtils.h"
#include "support/TempDir.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace volumira::test {

// Three structures under a root: index 1 root (ID 997), 2 "CTX", 3 "TH", 4 "HY".
inline const char* const kTestOntology = "root,root,,255,255,255,1,997,,0,0,0\n"
                                         "Cortex,CTX,root,200,60,60,2,688,,60,20,50\n"
                                         "Thalamus,TH,root,60,200,60,3,549,,70,40,57\n"
                                         "Hypothalamus,HY,root,60,60,200,4,1097,,75,60,57\n";

inline Image3d coarseVolume() {
    return Image3d(atlas::kCoarseDims[0], atlas::kCoarseDims[1], atlas::kCoarseDims[2],
                   atlas::kCoarseSpacing);
}

inline Image3d fineVolume() {
    return Image3d(atlas::kFineDims[0], atlas::kFineDims[1], atlas::kFineDims[2], atlas::kFineSpacing);
}

inline void writeVolume(const Image3d& volume, const std::string& path) {
    if (!volume.writeRaw(path)) throw std::runtime_error("could not write " + path);
}

// What the atlas reads at construction: the coarse annotation, the colour maps and the ontology.
// dataDir ends in "/".
inline void writeAtlasBasics(const std::string& dataDir, const Image3d& annotation100,
                             const std::string& ontology = kTestOntology) {
    writeVolume(annotation100, dataDir + "Annotation100");
    std::filesystem::create_directories(dataDir + "Colormaps");
    std::string map;
    for (int i = 0; i < 256; ++i)
        map += std::to_string(i) + " " + std::to_string(255 - i) + " 0\n";
    for (const char* name : {"TSA.map", "Expression.map", "Jet.map"})
        writeBytes(dataDir + "Colormaps/" + name, map);
    writeBytes(dataDir + "ontology.csv", ontology);
}

// The compressed sagittal mapping: plate numbers, then x and y pixels as 16-bit little-endian values.
// The lengths are the caller's, so that damaged archives can be written too.
inline void writeSagittalArchive(const std::string& path, const std::vector<std::uint8_t>& plates,
                                 const std::vector<std::uint16_t>& xs, const std::vector<std::uint16_t>& ys) {
    const auto bytesOf = [](const std::vector<std::uint16_t>& values) {
        std::vector<std::uint8_t> bytes;
        for (std::uint16_t v : values) {
            bytes.push_back(static_cast<std::uint8_t>(v & 0xff));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        return bytes;
    };
    FileStream out(path, FileStream::Mode::WriteBinary);
    writeCompressedBlock(out, plates.data(), plates.size());
    const auto x = bytesOf(xs), y = bytesOf(ys);
    writeCompressedBlock(out, x.data(), x.size());
    writeCompressedBlock(out, y.data(), y.size());
    out.close();
}

// A slice-compressed fine volume whose x slice i is all valueOfSlice(i). Made slice by slice from flat
// planes, which is much faster under the sanitizers than gathering each plane from a full volume.
template <typename ValueOfSlice>
void writeFlatSliceArchive(const std::string& path, ValueOfSlice valueOfSlice) {
    const auto [nx, ny, nz] = atlas::kFineDims;
    UniqueFile file = openFile(path, "wb");
    if (!file) throw std::runtime_error("could not create " + path);
    std::vector<std::uint8_t> table(static_cast<std::size_t>(nx) * 4, 0);
    std::fwrite(table.data(), 1, table.size(), file.get());
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(ny) * nz);
    for (int i = 0; i < nx; ++i) {
        const auto offset = static_cast<std::uint32_t>(std::ftell(file.get()));
        std::memcpy(&table[static_cast<std::size_t>(i) * 4], &offset, 4); // little-endian host
        std::memset(plane.data(), valueOfSlice(i), plane.size());
        encodeGrayJpeg(file.get(), plane.data(), ny, nz);
    }
    std::fseek(file.get(), 0, SEEK_SET);
    std::fwrite(table.data(), 1, table.size(), file.get());
    if (std::fclose(file.release()) != 0) throw std::runtime_error("could not write " + path);
}

// Linear index of a coarse voxel.
inline int coarseIndex(int x, int y, int z) {
    return x + y * atlas::kCoarseDims[0] + z * atlas::kCoarseDims[0] * atlas::kCoarseDims[1];
}

} // namespace volumira::test

#include "atlas/Mesh.h"

#include "platform/FileUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <sys/stat.h>

namespace volumira {

namespace {

static_assert(sizeof(MeshVertex) == 24, "a vertex record is six packed floats");
constexpr std::size_t kVertexBytes = sizeof(MeshVertex);
// The index count of a strip is stored in 16 bits.
constexpr std::size_t kMaxStripIndices = 65535;
constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

std::uint32_t loadUint32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void storeUint32(std::uint8_t*& p, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        *p++ = static_cast<std::uint8_t>(value >> shift);
}

// The whole file in memory: one read for the common case, chunks for files whose size fstat cannot tell.
std::vector<std::uint8_t> readWholeFile(const std::string& path) {
    UniqueFile file = openFile(path, "rb");
    if (!file) throw std::runtime_error("Mesh file could not be opened: " + path);
    std::vector<std::uint8_t> bytes;
    struct stat info {};
    if (::fstat(::fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::size_t used = 0;
    for (;;) {
        if (bytes.size() - used < 65536) bytes.resize(std::max(bytes.capacity(), used + 65536));
        const std::size_t got = std::fread(bytes.data() + used, 1, bytes.size() - used, file.get());
        used += got;
        if (got == 0) break;
    }
    if (std::ferror(file.get())) throw std::runtime_error("Error while reading mesh file: " + path);
    bytes.resize(used);
    return bytes;
}

// Splits strips the 16-bit count cannot hold. Every piece but the last starts at an even offset and
// overlaps the next by two indices, so each triangle keeps its position parity and thus its winding.
std::vector<std::pair<const std::int32_t*, std::size_t>> stripPieces(const std::vector<std::int32_t>& strip) {
    std::vector<std::pair<const std::int32_t*, std::size_t>> pieces;
    std::size_t start = 0;
    const std::size_t n = strip.size();
    while (n - start > kMaxStripIndices) {
        pieces.emplace_back(strip.data() + start, kMaxStripIndices - 1);
        start += kMaxStripIndices - 3;
    }
    pieces.emplace_back(strip.data() + start, n - start);
    return pieces;
}

} // namespace

void Mesh::readMesh(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readWholeFile(path);
    const auto fail = [&path] { return std::runtime_error("Error while reading mesh file: " + path); };
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    const auto take = [&](std::size_t n) {
        if (n > left) throw fail();
        const std::uint8_t* p = at;
        at += n;
        left -= n;
        return p;
    };

    const auto vertexCount = static_cast<std::int32_t>(loadUint32(take(4)));
    // Checked against the bytes present before anything is allocated, so a damaged count cannot ask for
    // gigabytes.
    if (vertexCount < 0 || static_cast<std::uint64_t>(vertexCount) * kVertexBytes > left) throw fail();
    std::vector<MeshVertex> newVertices(static_cast<std::size_t>(vertexCount));
    const std::uint8_t* records = take(newVertices.size() * kVertexBytes);
    if constexpr (kLittleEndianHost) {
        if (!newVertices.empty()) std::memcpy(newVertices.data(), records, newVertices.size() * kVertexBytes);
    } else {
        for (MeshVertex& v : newVertices) {
            for (float& f : v.normal) {
                f = std::bit_cast<float>(loadUint32(records));
                records += 4;
            }
            for (float& f : v.position) {
                f = std::bit_cast<float>(loadUint32(records));
                records += 4;
            }
        }
    }

    const auto stripCount = static_cast<std::int32_t>(loadUint32(take(4)));
    // Each strip takes at least its two-byte count.
    if (stripCount < 0 || static_cast<std::uint64_t>(stripCount) * 2 > left) throw fail();
    std::vector<std::vector<std::int32_t>> newStrips(static_cast<std::size_t>(stripCount));
    const auto limit = static_cast<std::uint32_t>(vertexCount);
    for (std::vector<std::int32_t>& strip : newStrips) {
        const std::uint8_t* count = take(2);
        const std::size_t n = std::size_t(count[0]) | std::size_t(count[1]) << 8;
        const std::uint8_t* indices = take(n * 4);
        strip.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t index = loadUint32(indices + 4 * i);
            if (index >= limit) throw fail();
            strip[i] = static_cast<std::int32_t>(index);
        }
    }

    vertices = std::move(newVertices);
    strips = std::move(newStrips);
}

void Mesh::scalePositions(float factor) {
    for (MeshVertex& v : vertices)
        for (float& p : v.position)
            p *= factor;
}

void Mesh::writeMesh(const std::string& path) const {
    constexpr auto kMaxCount = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    if (vertices.size() > kMaxCount) throw std::invalid_argument("The mesh has too many vertices to write.");
    std::size_t pieceCount = 0, indexCount = 0;
    for (const auto& strip : strips) {
        for (const std::int32_t index : strip)
            if (index < 0 || static_cast<std::size_t>(index) >= vertices.size())
                throw std::invalid_argument("A mesh strip refers to a vertex that does not exist.");
        for (const auto& piece : stripPieces(strip)) {
            ++pieceCount;
            indexCount += piece.second;
        }
    }
    if (pieceCount > kMaxCount) throw std::invalid_argument("The mesh has too many strips to write.");

    std::vector<std::uint8_t> bytes(8 + vertices.size() * kVertexBytes + pieceCount * 2 + indexCount * 4);
    std::uint8_t* p = bytes.data();
    storeUint32(p, static_cast<std::uint32_t>(vertices.size()));
    for (const MeshVertex& v : vertices) {
        for (const float f : v.normal)
            storeUint32(p, std::bit_cast<std::uint32_t>(f));
        for (const float f : v.position)
            storeUint32(p, std::bit_cast<std::uint32_t>(f));
    }
    storeUint32(p, static_cast<std::uint32_t>(pieceCount));
    for (const auto& strip : strips) {
        for (const auto& [indices, n] : stripPieces(strip)) {
            *p++ = static_cast<std::uint8_t>(n);
            *p++ = static_cast<std::uint8_t>(n >> 8);
            for (std::size_t i = 0; i < n; ++i)
                storeUint32(p, static_cast<std::uint32_t>(indices[i]));
        }
    }

    // Written beside the target and moved over it only when complete, so a full disk neither leaves a
    // truncated mesh nor destroys the one that was there.
    const std::string partial = path + ".partial";
    UniqueFile file = openFile(partial, "wb");
    if (!file) throw std::runtime_error("Mesh file could not be created: " + path);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed || !replaceFile(partial, path)) {
        deleteFile(partial);
        throw std::runtime_error("Error while writing mesh file: " + path);
    }
}

std::size_t Mesh::triangleCount() const {
    std::size_t count = 0;
    for (const auto& strip : strips)
        if (strip.size() >= 3) count += strip.size() - 2;
    return count;
}

} // namespace volumira

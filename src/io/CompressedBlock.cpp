#include "io/CompressedBlock.h"

#include "io/ByteBuffer.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>
#include <zlib.h>

namespace volumira {

namespace {

const char* const kReadError = "Error while reading grid file.";

// Deflate cannot do better than about 1032:1; a header promising more than that is lying,
// and believing it would mean allocating gigabytes for a few bytes of input.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 1024;

// Read in bounded pieces so a lying compressed length costs only the bytes that really exist.
constexpr std::size_t kReadPiece = std::size_t{1} << 20;

void inflateInto(const std::uint8_t* source, std::size_t sourceLength, MemoryStream& out,
                 std::size_t expected) {
    out.resizeForOverwrite(expected);
    out.seek(0);
    uLongf produced = static_cast<uLongf>(expected);
    // uncompress rejects a null destination even for an empty result.
    std::uint8_t empty = 0;
    Bytef* destination = expected ? out.data() : &empty;
    if (uncompress(destination, &produced, source, static_cast<uLong>(sourceLength)) != Z_OK)
        throw std::runtime_error(kReadError);
    if (produced != expected) out.resize(produced);
}

} // namespace

std::int32_t writeCompressedBlock(IOStream& stream, const void* bytes, std::size_t n) {
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::runtime_error("Grid file could not be compressed.");
    // compressBound always suffices, unlike a fixed 1.001 n + 12, which is too small for tiny
    // incompressible inputs.
    std::vector<Bytef> compressed(compressBound(static_cast<uLong>(n)));
    uLongf length = static_cast<uLongf>(compressed.size());
    std::uint8_t none = 0;
    const Bytef* source = n ? static_cast<const Bytef*>(bytes) : &none;
    if (compress(compressed.data(), &length, source, static_cast<uLong>(n)) != Z_OK)
        throw std::runtime_error("Grid file could not be compressed.");
    stream.writeInt32(static_cast<std::int32_t>(n));
    stream.writeInt32(static_cast<std::int32_t>(length));
    stream.write(compressed.data(), length);
    return static_cast<std::int32_t>(length);
}

void readCompressedBlock(IOStream& stream, MemoryStream& out) {
    const std::int32_t uncompressedLength = stream.readInt32();
    const std::int32_t compressedLength = stream.readInt32();
    if (uncompressedLength < 0 || compressedLength < 0 ||
        static_cast<std::uint64_t>(uncompressedLength) >
            static_cast<std::uint64_t>(compressedLength) * kMaxInflateRatio + kInflateSlack)
        throw std::runtime_error(kReadError);
    const auto expected = static_cast<std::size_t>(uncompressedLength);
    const auto length = static_cast<std::size_t>(compressedLength);

    // Inflate straight out of a memory stream's buffer: no copy of the compressed bytes.
    if (auto* memory = dynamic_cast<MemoryStream*>(&stream); memory && memory != &out) {
        if (length > memory->remaining()) throw std::runtime_error("Unexpected end of stream while reading.");
        const std::uint8_t* source = memory->current();
        memory->skip(static_cast<std::int32_t>(length));
        inflateInto(source, length, out, expected);
        return;
    }

    ByteBuffer compressed;
    compressed.reserve(std::min(length, kReadPiece));
    for (std::size_t done = 0; done < length;) {
        const std::size_t piece = std::min(kReadPiece, length - done);
        compressed.resize(done + piece);
        stream.read(compressed.data() + done, piece);
        done += piece;
    }
    inflateInto(compressed.data(), compressed.size(), out, expected);
}

} // namespace volumira

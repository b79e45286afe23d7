#pragma once

#include "io/IOStream.h"
#include "io/MemoryStream.h"

namespace volumira {

// A zlib block inside a stream: uncompressed length, compressed length, then the zlib stream.
// Returns the compressed length.
std::int32_t writeCompressedBlock(IOStream& stream, const void* bytes, std::size_t n);

// Reads one block and leaves its inflated bytes in `out` with the cursor at 0.
void readCompressedBlock(IOStream& stream, MemoryStream& out);

} // namespace volumira

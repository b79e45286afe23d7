// Reads compressed blocks one after another from arbitrary bytes until the stream gives out.
#include "io/CompressedBlock.h"

#include <cstring>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    volumira::MemoryStream stream(size);
    if (size) std::memcpy(stream.data(), data, size);
    volumira::MemoryStream out;
    try {
        for (int blocks = 0; blocks < 16; ++blocks) readCompressedBlock(stream, out);
    } catch (const std::runtime_error&) {
    }
    return 0;
}

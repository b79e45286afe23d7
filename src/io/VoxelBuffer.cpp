#include "io/VoxelBuffer.h"

#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace volumira {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void VoxelBufferFree::operator()(std::uint8_t* bytes) const noexcept {
    std::free(bytes);
}

VoxelBuffer allocateVoxels(std::size_t count) {
    if (count < 2 * kHugePage) {
        auto* bytes = static_cast<std::uint8_t*>(std::malloc(count ? count : 1));
        if (!bytes) throw std::bad_alloc();
        return VoxelBuffer(bytes);
    }
    const std::size_t rounded = (count + kHugePage - 1) / kHugePage * kHugePage;
    auto* bytes = static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, rounded));
    if (!bytes) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(bytes, rounded, MADV_HUGEPAGE); // only advice: without huge pages the buffer still works
#endif
    return VoxelBuffer(bytes);
}

} // namespace volumira

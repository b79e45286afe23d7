#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace volumira {

struct VoxelBufferFree {
    void operator()(std::uint8_t* bytes) const noexcept;
};
using VoxelBuffer = std::unique_ptr<std::uint8_t[], VoxelBufferFree>;

// Uninitialised memory for a volume. Large volumes are placed on 2 MiB boundaries and offered to the
// kernel's transparent huge pages: touching 77 MB then takes a few dozen page faults instead of
// nearly twenty thousand, which on a virtual machine is most of the cost of filling a fresh volume.
VoxelBuffer allocateVoxels(std::size_t count);

} // namespace volumira

#pragma once

#include "io/FileStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace volumira {

// Where a coarse-grid voxel lies on the sagittal atlas plates.
struct SagittalMapRecord {
    std::uint16_t x = 0, y = 0; // pixel on the plate
    std::uint8_t plate = 255;   // 255: on no plate
};

// Bytes per record in the unpacked file: x and y as 16-bit little-endian, the plate, one zero byte.
inline constexpr std::size_t kSagittalRecordSize = 6;

// Turns the compressed mapping (three blocks over the coarse grid: plate numbers, x pixels, y pixels)
// into the unpacked file of one record per coarse voxel. Throws "Unexpected file format." when a block
// does not hold exactly one value per voxel, and the stream and block errors otherwise.
void unpackSagittalMap(const std::string& compressedPath, const std::string& recordPath);

// Reads single records from the unpacked file, which stays open between lookups so that no lookup
// holds the whole mapping in memory.
class SagittalMap {
  public:
    bool isOpen() const { return stream_ != nullptr; }
    // False when the file cannot be opened; the map then stays closed.
    bool open(const std::string& path);
    // The record of coarse voxel `index`; false when it cannot be read.
    bool read(std::int32_t index, SagittalMapRecord& record);

  private:
    std::unique_ptr<FileStream> stream_;
};

} // namespace volumira

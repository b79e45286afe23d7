#pragma once

#include "io/VoxelBuffer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace volumira {

// Long reads and writes report the fraction done (0..1) with the caller's pointer.
using ProgressCallback = void (*)(float fraction, void* userData);
// Written by the user-interface thread, read by the loader once per step and once more before it reports
// success: a cancel set at any time before a read or write returns makes it return false.
using CancelFlag = std::atomic<bool>;

// For tests: progress is reported before every step instead of at most ten times a second; false puts the
// usual pace back.
void reportEveryProgressStepForTesting(bool everyStep);

// A volume of one unsigned byte per voxel, x fastest, then y, then z, with its voxel edge length
// in micrometres. Two file formats: raw bytes, and one grayscale JPEG per x slice behind a table
// of slice offsets. Neither stores the dimensions: the caller supplies them.
class Image3d {
  public:
    Image3d();
    // Allocates zero voxels and counts as loaded.
    Image3d(int nx, int ny, int nz, float spacing);
    virtual ~Image3d();

    Image3d(Image3d&&) noexcept;
    Image3d& operator=(Image3d&&) noexcept;

    // Never throws: false when cancelled or when anything fails, and the volume is then not loaded.
    bool readRaw(const std::string& path, int nx, int ny, int nz, float spacing,
                 ProgressCallback callback = nullptr, void* userData = nullptr,
                 const CancelFlag* cancel = nullptr);
    // False when cancelled; throws on failure. Either way a partial file is deleted.
    bool writeRaw(const std::string& path, ProgressCallback callback = nullptr, void* userData = nullptr,
                  const CancelFlag* cancel = nullptr) const;
    // False when cancelled; throws on failure.
    bool readCompressed(const std::string& path, int nx, int ny, int nz, float spacing,
                        ProgressCallback callback = nullptr, void* userData = nullptr,
                        const CancelFlag* cancel = nullptr);
    // False when the file cannot be created; throws when writing fails (the partial file is deleted).
    bool writeCompressed(const std::string& path) const;

    bool isLoaded() const { return loaded_; }
    std::uint8_t* data() { return voxels_.get(); }
    const std::uint8_t* data() const { return voxels_.get(); }
    std::size_t voxelCount() const { return count_; }
    // Axis 0, 1 or 2; anything else is an invalid argument.
    int dimension(int axis) const;
    int sliceSize() const { return sliceSize_; }
    float spacing() const { return spacing_; }

    // The voxel containing the point given in micrometres; 0 when not loaded or outside the volume.
    std::uint8_t valueAt(double x, double y, double z) const;

  private:
    void setGeometry(int nx, int ny, int nz, float spacing);
    void clear();

    VoxelBuffer voxels_;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
    bool loaded_ = false;
    int nx_ = 0, ny_ = 0, nz_ = 0;
    int sliceSize_ = 0;
    float spacing_ = 0.0f;
};

} // namespace volumira

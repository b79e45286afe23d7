#include "io/Image3d.h"

#include "io/JpegCodec.h"
#include "io/SliceScatter.h"
#include "platform/FileUtils.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace volumira {

namespace {

std::atomic<bool> reportEveryStep{false};

bool isSet(const CancelFlag* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Reports at most ten times a second, and not at all during the first tenth of a second.
class ProgressReporter {
  public:
    ProgressReporter(ProgressCallback callback, void* userData, const CancelFlag* cancel)
        : callback_(callback), userData_(userData), cancel_(cancel), everyStep_(reportEveryStep.load()),
          last_(Clock::now()) {}

    // Called before each step with the fraction done after it; true when the caller should stop.
    bool step(float fractionAfter) {
        if (callback_) {
            const auto now = Clock::now();
            if (everyStep_ || now - last_ > std::chrono::milliseconds(100)) {
                callback_(fractionAfter, userData_);
                last_ = now;
            }
        }
        return cancelled();
    }
    // Asked once more when all the work is done: a cancel that came after the last step still wins.
    bool cancelled() const { return isSet(cancel_); }

  private:
    using Clock = std::chrono::steady_clock;
    ProgressCallback callback_;
    void* userData_;
    const CancelFlag* cancel_;
    bool everyStep_;
    Clock::time_point last_;
};

void validateGeometry(int nx, int ny, int nz, float spacing) {
    const bool positive = nx > 0 && ny > 0 && nz > 0;
    // The slice size is kept as a 32-bit value and slice offsets are 32-bit file positions.
    if (!positive || static_cast<long long>(nx) * ny > std::numeric_limits<std::int32_t>::max() ||
        static_cast<long long>(nx) * ny * nz > (1LL << 40) || !(spacing > 0.0f) || !std::isfinite(spacing))
        throw std::invalid_argument("Invalid volume dimensions.");
}

// z slices per read or write of a raw volume: 5 MB at the fine grid. Smaller pieces measurably slow
// reads into huge pages, and ten steps a second are all the progress display needs anyway.
constexpr int kRawChunkSlices = 32;

// x slices decoded per batch before they are scattered into the volume: writing runs of 64
// consecutive x fills whole cache lines instead of touching one byte of each line per slice.
constexpr int kSliceBatch = 64;

// Threads decoding a compressed volume at most: beyond this, reading and scattering bound it anyway.
constexpr int kMaxDecodeThreads = 4;

} // namespace

void reportEveryProgressStepForTesting(bool everyStep) {
    reportEveryStep.store(everyStep);
}

Image3d::Image3d() = default;

Image3d::Image3d(int nx, int ny, int nz, float spacing) {
    setGeometry(nx, ny, nz, spacing);
    std::memset(voxels_.get(), 0, count_);
    loaded_ = true;
}

Image3d::~Image3d() = default;
Image3d::Image3d(Image3d&&) noexcept = default;
Image3d& Image3d::operator=(Image3d&&) noexcept = default;

void Image3d::setGeometry(int nx, int ny, int nz, float spacing) {
    validateGeometry(nx, ny, nz, spacing);
    nx_ = nx;
    ny_ = ny;
    nz_ = nz;
    sliceSize_ = nx * ny;
    spacing_ = spacing;
    count_ = static_cast<std::size_t>(nx) * ny * nz;
    // Every reader overwrites all voxels, so the buffer is left uninitialised and reused when it fits.
    if (capacity_ < count_ || !voxels_) {
        voxels_.reset();
        voxels_ = allocateVoxels(count_);
        capacity_ = count_;
    }
}

void Image3d::clear() {
    voxels_.reset();
    count_ = capacity_ = 0;
    loaded_ = false;
}

int Image3d::dimension(int axis) const {
    switch (axis) {
    case 0:
        return nx_;
    case 1:
        return ny_;
    case 2:
        return nz_;
    default:
        throw std::invalid_argument("Invalid axis.");
    }
}

std::uint8_t Image3d::valueAt(double x, double y, double z) const {
    if (!loaded_) return 0;
    // Divide per axis in double precision: multiplying by a rounded reciprocal lands just below
    // whole grid positions and would return the previous voxel.
    const double fx = std::floor(x / spacing_), fy = std::floor(y / spacing_), fz = std::floor(z / spacing_);
    if (!(fx >= 0 && fx < nx_ && fy >= 0 && fy < ny_ && fz >= 0 && fz < nz_)) return 0;
    const auto index = static_cast<std::size_t>(fx) + static_cast<std::size_t>(fy) * nx_ +
                       static_cast<std::size_t>(fz) * static_cast<std::size_t>(sliceSize_);
    return voxels_[index];
}

bool Image3d::readRaw(const std::string& path, int nx, int ny, int nz, float spacing,
                      ProgressCallback callback, void* userData, const CancelFlag* cancel) {
    try {
        loaded_ = false;
        setGeometry(nx, ny, nz, spacing);
        UniqueFile file = openFile(path, "rb");
        if (!file) throw std::runtime_error("Could not open image file.");
        ProgressReporter progress(callback, userData, cancel);
        const std::size_t slice = static_cast<std::size_t>(sliceSize_);
        for (int z = 0; z < nz_; z += kRawChunkSlices) {
            const int slices = std::min(kRawChunkSlices, nz_ - z);
            if (progress.step(static_cast<float>(z + slices) / static_cast<float>(nz_))) {
                clear();
                return false;
            }
            const std::size_t bytes = slices * slice;
            if (std::fread(voxels_.get() + z * slice, 1, bytes, file.get()) != bytes)
                throw std::runtime_error("Could not read image file.");
        }
        if (progress.cancelled()) {
            clear();
            return false;
        }
        loaded_ = true;
        return true;
    } catch (...) {
        loaded_ = false;
        return false;
    }
}

bool Image3d::writeRaw(const std::string& path, ProgressCallback callback, void* userData,
                       const CancelFlag* cancel) const {
    if (!loaded_) throw std::runtime_error("The volume holds no data to write.");
    UniqueFile file = openFile(path, "wb");
    if (!file)
        throw std::runtime_error("Could not create image file for writing: " + path + "." +
                                 "Please make sure this path exists and you have write permissions.");
    const auto failed = [&] {
        return std::runtime_error("Could write image file at: " + path + "." + "Please make sure you have " +
                                  std::to_string(count_ / 1048576) + " MB of free space.");
    };
    ProgressReporter progress(callback, userData, cancel);
    const std::size_t slice = static_cast<std::size_t>(sliceSize_);
    for (int z = 0; z < nz_; z += kRawChunkSlices) {
        const int slices = std::min(kRawChunkSlices, nz_ - z);
        if (progress.step(static_cast<float>(z + slices) / static_cast<float>(nz_))) {
            file.reset();
            deleteFile(path);
            return false;
        }
        const std::size_t bytes = slices * slice;
        if (std::fwrite(voxels_.get() + z * slice, 1, bytes, file.get()) != bytes) {
            file.reset();
            deleteFile(path);
            throw failed();
        }
    }
    // A full disk may only show when the last buffer is flushed.
    if (std::fclose(file.release()) != 0) {
        deleteFile(path);
        throw failed();
    }
    if (progress.cancelled()) {
        deleteFile(path);
        return false;
    }
    return true;
}

bool Image3d::readCompressed(const std::string& path, int nx, int ny, int nz, float spacing,
                             ProgressCallback callback, void* userData, const CancelFlag* cancel) {
    loaded_ = false;
    setGeometry(nx, ny, nz, spacing);
    UniqueFile file = openFile(path, "rb");
    if (!file) throw std::runtime_error("Could not open compressed atlas file " + path);
    const std::string readError = "Error reading from compressed atlas file " + path;

    std::vector<std::uint8_t> table(static_cast<std::size_t>(nx_) * 4);
    if (std::fread(table.data(), 1, table.size(), file.get()) != table.size())
        throw std::runtime_error(readError);
    if (std::fseek(file.get(), 0, SEEK_END) != 0) throw std::runtime_error(readError);
    const long fileSize = std::ftell(file.get());
    if (fileSize < 0) throw std::runtime_error(readError);

    std::vector<std::int32_t> offsets(static_cast<std::size_t>(nx_));
    for (int i = 0; i < nx_; ++i) {
        const std::uint8_t* entry = table.data() + static_cast<std::size_t>(i) * 4;
        offsets[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(
            entry[0] | entry[1] << 8 | entry[2] << 16 | static_cast<std::uint32_t>(entry[3]) << 24);
    }
    std::vector<std::int32_t> starts = offsets;
    std::sort(starts.begin(), starts.end());

    const std::size_t planeSize = static_cast<std::size_t>(ny_) * nz_;
    const int batches = (nx_ + kSliceBatch - 1) / kSliceBatch;
    // Slices decode independently, so batches are shared out to a few threads; each writes its own x runs
    // of the volume. Only the calling thread reports progress; every thread stops at the next slice once
    // the cancel flag is set. The calling thread takes the first batch itself, so that progress and cancel
    // are seen however the helpers race ahead.
    std::atomic<int> nextBatch{1}, slicesDone{0};
    std::atomic<bool> stop{false};
    std::mutex failureLock;
    std::exception_ptr failure;
    ProgressReporter progress(callback, userData, cancel);

    const auto decodeBatches = [&](std::FILE* in, bool reporting) {
        try {
            // The decoder overwrites every byte of a batch before it is read: no need to clear it.
            const auto batch =
                std::make_unique_for_overwrite<std::uint8_t[]>(planeSize * std::min(kSliceBatch, nx_));
            std::vector<std::uint8_t> stream;
            for (int index = reporting ? 0 : nextBatch++; index < batches && !stop; index = nextBatch++) {
                const int first = index * kSliceBatch;
                const int count = std::min(kSliceBatch, nx_ - first);
                for (int b = 0; b < count && !stop; ++b) {
                    const int i = first + b;
                    const float after = static_cast<float>(slicesDone + 1) / static_cast<float>(nx_);
                    if (reporting ? progress.step(after) : isSet(cancel)) {
                        stop = true;
                        return;
                    }
                    // A slice's JPEG stream runs to the next slice's start (or the end of the file); each
                    // is read whole into one reused buffer and decoded from memory.
                    const std::int32_t offset = offsets[static_cast<std::size_t>(i)];
                    if (offset < 0 || offset >= fileSize)
                        throw std::runtime_error("Unexpected data while reading from compressed atlas file " +
                                                 path);
                    const auto next = std::upper_bound(starts.begin(), starts.end(), offset);
                    const long end = next == starts.end() ? fileSize : std::min<long>(*next, fileSize);
                    stream.resize(static_cast<std::size_t>(end - offset));
                    if (std::fseek(in, offset, SEEK_SET) != 0 ||
                        std::fread(stream.data(), 1, stream.size(), in) != stream.size())
                        throw std::runtime_error(readError);
                    decodeGrayJpeg(stream.data(), stream.size(), batch.get() + b * planeSize, ny_, nz_);
                    ++slicesDone;
                }
                if (!stop) scatterSlices(batch.get(), count, ny_, nz_, voxels_.get(), nx_, first);
            }
        } catch (...) {
            const std::lock_guard lock(failureLock);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };

    const int helpers =
        std::min({static_cast<int>(std::thread::hardware_concurrency()), kMaxDecodeThreads, batches}) - 1;
    std::vector<UniqueFile> helperFiles;
    std::vector<std::thread> threads;
    // Reserved ahead, so that adding a thread cannot throw for want of memory with others running.
    helperFiles.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
    threads.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
    for (int t = 0; t < helpers; ++t) {
        UniqueFile own = openFile(path, "rb");
        if (!own) break; // the calling thread manages alone
        helperFiles.push_back(std::move(own));
        try {
            threads.emplace_back(decodeBatches, helperFiles.back().get(), false);
        } catch (const std::system_error&) {
            break; // no thread to be had: the calling thread manages alone
        }
    }
    decodeBatches(file.get(), true);
    for (std::thread& thread : threads)
        thread.join();
    // The flag is asked again only now that every thread is done: the helpers may have decoded every
    // batch before the calling thread looked at it once. A cancel wins over an error met on the way out.
    if (progress.cancelled()) {
        clear();
        return false;
    }
    if (failure) std::rethrow_exception(failure);
    loaded_ = true;
    return true;
}

bool Image3d::writeCompressed(const std::string& path) const {
    if (!loaded_) throw std::runtime_error("The volume holds no data to write.");
    UniqueFile file = openFile(path, "wb");
    if (!file) return false;
    try {
        const auto writeTable = [&](const std::vector<std::uint8_t>& table) {
            if (std::fwrite(table.data(), 1, table.size(), file.get()) != table.size())
                throw std::runtime_error("File could not be written.");
        };
        std::vector<std::uint8_t> table(static_cast<std::size_t>(nx_) * 4, 0);
        writeTable(table);
        std::vector<std::uint8_t> plane(static_cast<std::size_t>(ny_) * nz_);
        for (int i = 0; i < nx_; ++i) {
            for (int r = 0; r < nz_; ++r)
                for (int c = 0; c < ny_; ++c)
                    plane[static_cast<std::size_t>(r) * ny_ + c] =
                        voxels_[i + static_cast<std::size_t>(c) * nx_ +
                                static_cast<std::size_t>(r) * sliceSize_];
            const long offset = std::ftell(file.get());
            if (offset < 0 || offset > std::numeric_limits<std::int32_t>::max())
                throw std::runtime_error("File could not be written.");
            const auto v = static_cast<std::uint32_t>(offset);
            for (int byte = 0; byte < 4; ++byte)
                table[static_cast<std::size_t>(i) * 4 + byte] = static_cast<std::uint8_t>(v >> (8 * byte));
            encodeGrayJpeg(file.get(), plane.data(), ny_, nz_);
        }
        if (std::fseek(file.get(), 0, SEEK_SET) != 0) throw std::runtime_error("File seek failed.");
        writeTable(table);
        if (std::fclose(file.release()) != 0) throw std::runtime_error("File could not be written.");
        return true;
    } catch (...) {
        file.reset();
        deleteFile(path);
        throw;
    }
}

} // namespace volumira

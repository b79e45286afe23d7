#include "atlas/SagittalMap.h"

#include "atlas/AtlasGrid.h"
#include "io/CompressedBlock.h"

#include <stdexcept>
#include <vector>

namespace volumira {

namespace {

constexpr std::size_t kVoxels = atlas::kCoarseVoxelCount;

// Checks the length a block announces before inflating it, so a wrong file costs no large allocation,
// and again after, since the data may inflate to less than announced.
void readBlockOfLength(FileStream& in, MemoryStream& block, std::size_t length) {
    const std::int32_t start = in.tell();
    const std::int32_t announced = in.readInt32();
    if (announced < 0 || static_cast<std::size_t>(announced) != length)
        throw std::runtime_error("Unexpected file format.");
    in.seek(start);
    readCompressedBlock(in, block);
    if (block.size() != length) throw std::runtime_error("Unexpected file format.");
}

std::uint16_t littleEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

} // namespace

void unpackSagittalMap(const std::string& compressedPath, const std::string& recordPath) {
    MemoryStream plates(0), xs(0), ys(0);
    {
        FileStream in(compressedPath, FileStream::Mode::ReadBinary);
        readBlockOfLength(in, plates, kVoxels);
        readBlockOfLength(in, xs, 2 * kVoxels);
        readBlockOfLength(in, ys, 2 * kVoxels);
    }

    // Voxels on no plate keep the record (0, 0, 255).
    std::vector<std::uint8_t> records(kVoxels * kSagittalRecordSize, 0);
    for (std::size_t i = 0; i < kVoxels; ++i) {
        std::uint8_t* record = records.data() + i * kSagittalRecordSize;
        const std::uint8_t plate = plates.data()[i];
        record[4] = atlas::kNoSagittalPlate;
        if (plate == atlas::kNoSagittalPlate) continue;
        const std::uint8_t* x = xs.data() + 2 * i;
        const std::uint8_t* y = ys.data() + 2 * i;
        record[0] = x[0];
        record[1] = x[1];
        record[2] = y[0];
        record[3] = y[1];
        record[4] = plate;
    }

    FileStream out(recordPath, FileStream::Mode::WriteBinary);
    out.write(records.data(), records.size());
    out.close();
}

bool SagittalMap::open(const std::string& path) {
    try {
        stream_ = std::make_unique<FileStream>(path, FileStream::Mode::ReadBinary);
        return true;
    } catch (const std::exception&) {
        stream_.reset();
        return false;
    }
}

bool SagittalMap::read(std::int32_t index, SagittalMapRecord& record) {
    if (!stream_ || index < 0 || index >= static_cast<std::int32_t>(kVoxels)) return false;
    std::uint8_t bytes[kSagittalRecordSize];
    try {
        stream_->seek(index * static_cast<std::int32_t>(kSagittalRecordSize));
        stream_->read(bytes, sizeof bytes);
    } catch (const std::exception&) {
        return false;
    }
    record.x = littleEndian16(bytes);
    record.y = littleEndian16(bytes + 2);
    record.plate = bytes[4];
    return true;
}

} // namespace volumira

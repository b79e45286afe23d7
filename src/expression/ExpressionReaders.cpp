// The readers of the five generations of the expression file.

#include "atlas/AtlasGrid.h"
#include "expression/GeneExpression.h"
#include "io/CompressedBlock.h"
#include "io/MemoryStream.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace volumira {

namespace {

constexpr std::int32_t kMaxCells = atlas::kCoarseVoxelCount;

std::uint32_t loadUint32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int32_t loadInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(loadUint32(p));
}

float loadFloat(const std::uint8_t* p) {
    return std::bit_cast<float>(loadUint32(p));
}

std::uint16_t loadUint16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void checkCellCount(std::int32_t count) {
    if (count < 0 || count > kMaxCells) throw std::runtime_error("Invalid number of quadrats.");
}

void checkGridId(std::int32_t gridId) {
    if (gridId < 1 || gridId > kMaxCells) throw std::runtime_error("Invalid quadrat coordinates.");
}

// Room for the announced records, but never more than the stream can hold when that is known, so a
// lying count in a small file costs nothing.
std::size_t reservationFor(IOStream& stream, std::int32_t count, std::size_t recordSize) {
    const auto announced = static_cast<std::size_t>(count);
    if (const auto* memory = dynamic_cast<const MemoryStream*>(&stream))
        return std::min(announced, memory->remaining() / recordSize);
    return std::min<std::size_t>(announced, std::size_t{1} << 16);
}

} // namespace

void GeneExpression::readSectionImages(IOStream& stream, std::int32_t count) {
    if (count < 0) throw std::runtime_error("Invalid number of section images.");
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t fixed[16];
        stream.read(fixed, sizeof fixed);
        SectionImage image;
        image.section = loadUint32(fixed);
        image.imageId = loadUint32(fixed + 4);
        image.width = loadUint32(fixed + 8);
        image.height = loadUint32(fixed + 12);
        stream.readString(image.primaryPath);
        stream.readString(image.expressionPath);
        normaliseSectionPaths(image);
        sectionImages_.insert_or_assign(image.section, std::move(image));
    }
}

void GeneExpression::readVersion2(IOStream& stream) {
    constexpr std::size_t kRecord = 68;
    stream.readString(strings_[kStringSymbol]);
    const std::int32_t count = stream.readInt32();
    checkCellCount(count);
    cells_.reserve(reservationFor(stream, count, kRecord));
    std::uint8_t record[kRecord];
    for (std::int32_t i = 0; i < count; ++i) {
        stream.read(record, kRecord);
        // Records flagged as excluded were measured but rejected.
        if (loadInt32(record + 32) != 0) continue;
        ExpressionCell cell;
        cell.gridId = loadInt32(record);
        checkGridId(cell.gridId);
        cell.expressors = static_cast<std::uint16_t>(loadUint32(record + 8) & 0xffffu);
        const float area = loadFloat(record + 12);
        cell.diameter = 2.0f * std::sqrt(area / std::numbers::pi_v<float>);
        cell.areaSpanned = loadFloat(record + 16);
        cell.level = loadFloat(record + 36);
        cell.section = ExpressionCell::kUnknownSection;
        cells_.push_back(cell);
    }
}

void GeneExpression::readVersion3(IOStream& stream) {
    std::uint8_t header[84];
    stream.read(header, sizeof header);
    for (int entry = 0; entry < 14; ++entry)
        header_[static_cast<std::size_t>(entry)] = loadInt32(header + 8 + 4 * entry);
    const std::int32_t sectionCount = loadInt32(header + 68);
    const std::int32_t count = loadInt32(header + 72);
    checkCellCount(count);
    imageScale_ = header_[kHeaderImageScale] != 0 ? 0.95f : 1.63f;
    for (int i = 0; i < kStoredStringCount; ++i)
        stream.readString(strings_[static_cast<std::size_t>(i)]);
    std::uint8_t unused[4];
    stream.read(unused, sizeof unused);
    readSectionImages(stream, sectionCount);

    constexpr std::size_t kRecord = 88;
    cells_.reserve(reservationFor(stream, count, kRecord));
    std::uint8_t record[kRecord];
    for (std::int32_t i = 0; i < count; ++i) {
        stream.read(record, kRecord);
        ExpressionCell cell;
        cell.expressors = loadUint16(record + 84);
        if (cell.expressors == 0) continue;
        cell.gridId = loadInt32(record);
        checkGridId(cell.gridId);
        cell.diameter = loadFloat(record + 8);
        cell.areaSpanned = loadFloat(record + 12);
        cell.level = loadFloat(record + 40);
        cell.section = loadUint16(record + 78);
        cell.sectionX = loadUint16(record + 80);
        cell.sectionY = loadUint16(record + 82);
        cells_.push_back(cell);
    }
}

void GeneExpression::readFormat20000(IOStream& stream) {
    MemoryStream block;
    readCompressedBlock(stream, block);
    for (std::int32_t& entry : header_)
        entry = block.readInt32();
    const std::int32_t count = header_[kHeaderCellCount];
    checkCellCount(count);
    for (int i = 0; i < kStoredStringCount; ++i)
        block.readString(strings_[static_cast<std::size_t>(i)]);
    readSectionImages(block, header_[kHeaderSectionImageCount]);

    const std::size_t kRecord = ExpressionCell::kRecordSize;
    const std::size_t present = block.remaining() / kRecord;
    const std::size_t readable = std::min(static_cast<std::size_t>(count), present);
    cells_.reserve(readable);
    std::uint8_t record[ExpressionCell::kRecordSize];
    for (std::size_t i = 0; i < readable; ++i) {
        block.read(record, kRecord);
        ExpressionCell cell;
        cell.gridId = loadInt32(record);
        checkGridId(cell.gridId);
        cell.diameter = loadFloat(record + 4);
        cell.areaSpanned = loadFloat(record + 8);
        cell.level = loadFloat(record + 12);
        cell.section = loadUint16(record + 16);
        cell.sectionX = loadUint16(record + 18);
        cell.sectionY = loadUint16(record + 20);
        cell.expressors = loadUint16(record + 22);
        cells_.push_back(cell);
    }
    if (readable < static_cast<std::size_t>(count))
        throw std::runtime_error("Expression data ends early: " + std::to_string(count) +
                                 " cells are announced but only " + std::to_string(present) +
                                 " are present.");
}

void GeneExpression::readGridFormat(IOStream& stream, std::int32_t format) {
    const std::int32_t stepCode = stream.readInt32();
    if (stepCode < 0 || stepCode > 1) throw std::runtime_error("Unrecognized grid file format.");
    if (format == kFormatGridWithSize) fileSize_ = stream.readInt32();
    const std::int32_t capacity = stream.readInt32();
    checkCellCount(capacity);
    MemoryStream block;
    readCompressedBlock(stream, block);

    const std::size_t nx = atlas::kCoarseDims[0], ny = atlas::kCoarseDims[1], nz = atlas::kCoarseDims[2];
    const std::size_t step = static_cast<std::size_t>(stepCode) + 1;
    const std::size_t slices = nz / step, sliceSize = nx * ny;
    if (block.size() < slices * sliceSize)
        throw std::runtime_error("Grid file is damaged: its voxel block holds " +
                                 std::to_string(block.size()) + " bytes where " +
                                 std::to_string(slices * sliceSize) + " are needed.");
    cells_.reserve(static_cast<std::size_t>(capacity));
    const std::uint8_t* voxels = block.data();
    for (std::size_t s = 0; s < slices; ++s) {
        const std::size_t z = s * step;
        for (std::size_t i = 0; i < sliceSize; ++i) {
            const std::uint8_t value = voxels[s * sliceSize + i];
            // Values of 4 and below mean no expression.
            if (value <= 4) continue;
            ExpressionCell cell;
            cell.gridId = static_cast<std::int32_t>(i + z * sliceSize + 1);
            cell.expressors = value;
            cells_.push_back(cell);
        }
    }
}

} // namespace volumira

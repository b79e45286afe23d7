// Writing the current generation of the expression file.

#include "expression/GeneExpression.h"
#include "io/CompressedBlock.h"
#include "io/FileStream.h"
#include "io/MemoryStream.h"
#include "platform/FileUtils.h"

#include <bit>
#include <stdexcept>

namespace volumira {

namespace {

void writeUint16(IOStream& stream, std::uint16_t value) {
    stream.writeByte(static_cast<std::uint8_t>(value & 0xffu));
    stream.writeByte(static_cast<std::uint8_t>(value >> 8));
}

void writeFloat(IOStream& stream, float value) {
    stream.writeInt32(static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(value)));
}

bool isSaved(const ExpressionCell& cell) {
    return cell.expressors >= 1;
}

} // namespace

void GeneExpression::saveExpression(const std::string& path) const {
    std::size_t saved = 0;
    for (const ExpressionCell& cell : cells_)
        saved += isSaved(cell) ? 1 : 0;
    std::size_t size = kHeaderSize * 4;
    for (int i = 0; i < kStoredStringCount; ++i)
        size += 1 + strings_[static_cast<std::size_t>(i)].size();
    for (const auto& entry : sectionImages_)
        size += 18 + entry.second.primaryPath.size() + entry.second.expressionPath.size();
    size += saved * ExpressionCell::kRecordSize;

    MemoryStream buffer(size);
    for (int i = 0; i < kHeaderSize; ++i) {
        std::int32_t value = header_[static_cast<std::size_t>(i)];
        // The counts must describe what follows, or the reader would take records for images.
        if (i == kHeaderSectionImageCount) value = static_cast<std::int32_t>(sectionImages_.size());
        if (i == kHeaderCellCount) value = static_cast<std::int32_t>(saved);
        buffer.writeInt32(value);
    }
    for (int i = 0; i < kStoredStringCount; ++i)
        buffer.writeString(strings_[static_cast<std::size_t>(i)]);
    for (const auto& entry : sectionImages_) {
        const SectionImage& image = entry.second;
        for (const std::uint32_t value : {image.section, image.imageId, image.width, image.height})
            buffer.writeInt32(static_cast<std::int32_t>(value));
        buffer.writeString(image.primaryPath);
        buffer.writeString(image.expressionPath);
    }
    for (const ExpressionCell& cell : cells_) {
        if (!isSaved(cell)) continue;
        buffer.writeInt32(cell.gridId);
        writeFloat(buffer, cell.diameter);
        writeFloat(buffer, cell.areaSpanned);
        writeFloat(buffer, cell.level);
        writeUint16(buffer, cell.section);
        writeUint16(buffer, cell.sectionX);
        writeUint16(buffer, cell.sectionY);
        writeUint16(buffer, cell.expressors);
    }

    // Written beside the target and moved over it only when complete, so a failed save neither leaves a
    // truncated file nor destroys the one that was there.
    const std::string partial = path + ".partial";
    try {
        FileStream file(partial, FileStream::Mode::WriteBinary);
        file.writeInt32(static_cast<std::int32_t>(kMagic));
        file.writeInt32(kFormatCurrent);
        writeCompressedBlock(file, buffer.data(), buffer.size());
        file.close();
    } catch (...) {
        deleteFile(partial);
        throw;
    }
    if (!replaceFile(partial, path)) {
        deleteFile(partial);
        throw std::runtime_error("File could not be written.");
    }
}

} // namespace volumira

#include "io/IOStream.h"

#include <stdexcept>

namespace volumira {

IOStream::~IOStream() = default;

void IOStream::writeString(const std::string& text) {
    if (text.size() > 255)
        throw std::runtime_error("Could not write string to stream. The string was too long: " + text);
    writeByte(static_cast<std::uint8_t>(text.size()));
    if (!text.empty()) write(text.data(), text.size());
}

void IOStream::readString(std::string& text) {
    const std::uint8_t length = readByte();
    if (length == 0) return;
    char bytes[255];
    read(bytes, length);
    text.assign(bytes, length);
}

std::int32_t IOStream::readInt32() {
    std::uint8_t b[4];
    read(b, 4);
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
        static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

void IOStream::writeInt32(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    write(b, 4);
}

std::uint8_t IOStream::readByte() {
    std::uint8_t b;
    read(&b, 1);
    return b;
}

void IOStream::writeByte(std::uint8_t value) {
    write(&value, 1);
}

} // namespace volumira

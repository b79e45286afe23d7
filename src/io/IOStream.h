#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace volumira {

// A binary stream with the one encoding every data file uses: 32-bit little-endian integers,
// single bytes, and strings as a length byte followed by that many bytes.
class IOStream {
  public:
    virtual ~IOStream() = 0;

    virtual void read(void* buffer, std::size_t n) = 0;
    virtual void write(const void* buffer, std::size_t n) = 0;
    virtual std::int32_t tell() = 0;
    virtual void seek(std::int32_t position) = 0;
    virtual void skip(std::int32_t offset) = 0;

    // Writes the length byte and the bytes; throws for text of 256 bytes or more.
    virtual void writeString(const std::string& text);
    // Leaves the destination unchanged when the stored length is 0.
    virtual void readString(std::string& text);

    std::int32_t readInt32();
    void writeInt32(std::int32_t value);
    std::uint8_t readByte();
    void writeByte(std::uint8_t value);
};

} // namespace volumira

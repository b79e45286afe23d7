#pragma once

#include "io/ByteBuffer.h"
#include "io/IOStream.h"

namespace volumira {

// A stream over an owned byte buffer. Writing never grows the buffer: size it first with resize().
class MemoryStream : public IOStream {
  public:
    explicit MemoryStream(std::size_t size = 0);

    void read(void* buffer, std::size_t n) override;
    void write(const void* buffer, std::size_t n) override;
    std::int32_t tell() override;
    void seek(std::int32_t position) override;
    void skip(std::int32_t offset) override;

    std::uint8_t* data() { return buffer_.data(); }
    const std::uint8_t* data() const { return buffer_.data(); }
    std::size_t size() const { return buffer_.size(); }
    std::uint8_t* current() { return buffer_.data() + cursor_; }
    std::size_t remaining() const { return buffer_.size() - cursor_; }
    // New bytes are zero; the cursor moves back to the new end when it lay beyond it.
    void resize(std::size_t size);
    // As resize, but new bytes are left as they are: for a buffer the caller fills in full next.
    void resizeForOverwrite(std::size_t size);

  private:
    ByteBuffer buffer_;
    std::size_t cursor_ = 0;
};

} // namespace volumira

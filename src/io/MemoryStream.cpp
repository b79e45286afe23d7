#include "io/MemoryStream.h"

#include <cstring>
#include <stdexcept>

namespace volumira {

namespace {
const char* const kSeekPastEnd = "Cannot seek past end of stream.";
}

MemoryStream::MemoryStream(std::size_t size) : buffer_(size, 0) {}

void MemoryStream::read(void* buffer, std::size_t n) {
    if (n > remaining()) throw std::runtime_error("Unexpected end of stream while reading.");
    if (n) std::memcpy(buffer, buffer_.data() + cursor_, n);
    cursor_ += n;
}

void MemoryStream::write(const void* buffer, std::size_t n) {
    if (n > remaining()) throw std::runtime_error("Unexpected end of stream while writing.");
    if (n) std::memcpy(buffer_.data() + cursor_, buffer, n);
    cursor_ += n;
}

std::int32_t MemoryStream::tell() {
    return static_cast<std::int32_t>(cursor_);
}

void MemoryStream::seek(std::int32_t position) {
    if (position < 0 || static_cast<std::size_t>(position) > buffer_.size())
        throw std::runtime_error(kSeekPastEnd);
    cursor_ = static_cast<std::size_t>(position);
}

void MemoryStream::skip(std::int32_t offset) {
    const long long target = static_cast<long long>(cursor_) + offset;
    if (target < 0 || static_cast<unsigned long long>(target) > buffer_.size())
        throw std::runtime_error(kSeekPastEnd);
    cursor_ = static_cast<std::size_t>(target);
}

void MemoryStream::resize(std::size_t size) {
    buffer_.resize(size, 0);
    if (cursor_ > size) cursor_ = size;
}

void MemoryStream::resizeForOverwrite(std::size_t size) {
    buffer_.resize(size);
    if (cursor_ > size) cursor_ = size;
}

} // namespace volumira

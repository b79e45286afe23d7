#include "io/FileStream.h"

#include <stdexcept>

namespace volumira {

namespace {
std::FILE* requireOpen(const UniqueFile& file) {
    if (!file) throw std::runtime_error("File could not be opened.");
    return file.get();
}
} // namespace

FileStream::FileStream(const std::string& path, Mode mode)
    : file_(openFile(path, mode == Mode::ReadBinary ? "rb" : "wb")) {
    requireOpen(file_);
}

void FileStream::read(void* buffer, std::size_t n) {
    if (n == 0) return;
    if (!file_ || std::fread(buffer, 1, n, file_.get()) != n)
        throw std::runtime_error("Error while reading file.");
}

void FileStream::write(const void* buffer, std::size_t n) {
    if (n == 0) return;
    if (!file_ || std::fwrite(buffer, 1, n, file_.get()) != n)
        throw std::runtime_error("File could not be written.");
}

std::int32_t FileStream::tell() {
    return static_cast<std::int32_t>(std::ftell(requireOpen(file_)));
}

void FileStream::seek(std::int32_t position) {
    if (!file_ || position < 0 || std::fseek(file_.get(), position, SEEK_SET) != 0)
        throw std::runtime_error("File seek failed.");
}

void FileStream::skip(std::int32_t offset) {
    if (!file_ || std::fseek(file_.get(), offset, SEEK_CUR) != 0)
        throw std::runtime_error("File seek failed.");
}

void FileStream::close() {
    // A write stream reports a failed final flush here rather than losing it silently.
    if (!file_) return;
    std::FILE* file = file_.release();
    if (std::fclose(file) != 0) throw std::runtime_error("File could not be written.");
}

} // namespace volumira

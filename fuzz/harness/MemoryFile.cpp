#include "MemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace volumira::fuzz {

std::string memoryFile(std::span<const std::uint8_t> bytes, int slot) {
    static std::array<int, 2> files{-1, -1};
    int& fd = files.at(static_cast<std::size_t>(slot));
    if (fd < 0) fd = memfd_create("fuzz-input", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) throw std::logic_error("No in-memory file.");
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = pwrite(fd, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (n <= 0) throw std::logic_error("In-memory file not written.");
        written += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace volumira::fuzz

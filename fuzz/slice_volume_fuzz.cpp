// The first three bytes choose the volume's dimensions; the rest is the slice-compressed file.
#include "io/Image3d.h"

#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int nx = 1 + data[0] % 16, ny = 1 + data[1] % 64, nz = 1 + data[2] % 64;
    // An in-memory file keeps the fuzzer off the disk.
    static const int fd = memfd_create("slice-volume", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data + 3, size - 3, 0) != static_cast<ssize_t>(size - 3))
        return 0;
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    volumira::Image3d image;
    try {
        image.readCompressed(path, nx, ny, nz, 25.0f);
    } catch (const std::exception&) {
    }
    return 0;
}

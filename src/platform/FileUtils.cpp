#include "platform/FileUtils.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace volumira {

namespace {

// Closes a POSIX descriptor on scope exit.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now so that a failing close (delayed write errors) can be seen.
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

std::string parentDirectory(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A rename is only durable once the directory holding the new name is flushed.
void syncDirectory(const std::string& directory) {
    Descriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

bool syncFile(const std::string& path) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool copyContents(int from, int to) {
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        if (!writeAll(to, buffer, static_cast<std::size_t>(got))) return false;
    }
}

} // namespace

UniqueFile openFile(const std::string& path, const char* mode) {
    if (!mode) return nullptr;
    return UniqueFile(std::fopen(path.c_str(), mode));
}

void openFileStream(std::fstream& stream, const std::string& path, std::ios_base::openmode mode) {
    stream.open(path, mode);
}

bool deleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool replaceFile(const std::string& source, const std::string& target) {
    // The data must reach the disk before the new name does, or a crash could leave an empty target.
    if (!syncFile(source)) return false;
    if (::rename(source.c_str(), target.c_str()) == 0) {
        syncDirectory(parentDirectory(target));
        if (parentDirectory(source) != parentDirectory(target)) syncDirectory(parentDirectory(source));
        return true;
    }
    if (errno != EXDEV) return false;
    return detail::replaceFileByCopy(source, target);
}

namespace detail {

bool replaceFileByCopy(const std::string& source, const std::string& target) {
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!in.valid()) return false;
    struct stat info {};
    if (::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;

    // The copy goes to a temporary name in the target's directory so that the final rename is atomic.
    std::string directory = parentDirectory(target);
    std::string temporary = directory + "/." + baseName(target) + ".XXXXXX";
    Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out.valid()) return false;

    bool copied = copyContents(in.get(), out.get()) && ::fchmod(out.get(), info.st_mode & 07777) == 0 &&
                  ::fsync(out.get()) == 0;
    copied = out.close() && copied;
    if (!copied || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(directory);

    if (::unlink(source.c_str()) != 0) return false;
    syncDirectory(parentDirectory(source));
    return true;
}

} // namespace detail

bool fileExists(const std::string& path) {
    // Non-blocking, so that a FIFO without a writer does not hang the caller.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return false;
    struct stat info {};
    return ::fstat(fd.get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string absolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    // Resolves the part that exists and tidies the rest. Where that fails (a loop of links, a folder that
    // cannot be searched) the path is left as it is: tidying ".." by text alone could name another file.
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.string() : resolved.string();
}

double secondsNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    long long milliseconds = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return static_cast<double>(milliseconds) * 0.001;
}

void sleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const std::string& micrometreLabel() {
    static const std::string label = "\xC2\xB5m";
    return label;
}

} // namespace volumira

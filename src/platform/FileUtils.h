#pragma once

// File operations by UTF-8 path, and the small clock and unit helpers every subsystem uses.
// On Linux paths are byte strings already, so no conversion happens at this boundary.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace volumira {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a buffered file with an fopen mode string ("rb", "wb", ...); null when it cannot be opened.
UniqueFile openFile(const std::string& path, const char* mode);

// Opens a C++ file stream on the path; check the stream's state for success.
void openFileStream(std::fstream& stream, const std::string& path, std::ios_base::openmode mode);

// True when the file was deleted.
bool deleteFile(const std::string& path);

// Moves source over target, replacing it, also across file systems, and flushes the result to disk
// before returning. True on success.
bool replaceFile(const std::string& source, const std::string& target);

namespace detail {
// The cross-file-system half of replaceFile: copies source into a temporary file beside target, flushes it,
// renames it over target and deletes source. On failure target and source are left as they were, except
// when only the deletion of source failed. Exposed so that the copy path can be tested on one file system.
bool replaceFileByCopy(const std::string& source, const std::string& target);
} // namespace detail

// True when path names something that can be opened for binary reading (directories do not count).
bool fileExists(const std::string& path);

// The path made absolute against the working directory, with symbolic links, "." and ".." resolved as far
// as the path exists, so that one file has one name wherever it was named from. Empty stays empty.
std::string absolutePath(const std::string& path);

// Seconds on a monotonic clock with millisecond resolution; only differences are meaningful.
double secondsNow();

void sleepMilliseconds(int milliseconds);

// The unit text for micrometres ("µm").
const std::string& micrometreLabel();

} // namespace volumira

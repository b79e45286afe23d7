#include "app/DesktopAssociation.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace volumira {

namespace {

constexpr const char* kDefaultsGroup = "[Default Applications]";
// Marks an entry this program wrote, so that it may be refreshed and a user's own is left alone.
constexpr const char* kGeneratedMark = "X-Volumira-Generated=true";

std::string trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// An XDG base variable counts only when it names an absolute path.
std::optional<std::string> absoluteVariable(const char* name) {
    std::optional<std::string> value = variable(name);
    if (value && value->front() != '/') return std::nullopt;
    return value;
}

std::string homeDirectory() {
    if (std::optional<std::string> home = absoluteVariable("HOME")) return *home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "";
}

enum class ReadResult { Read, Missing, Failed };

ReadResult readFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    text.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return ReadResult::Failed;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Read;
}

bool makeDirectories(const std::string& path) {
    std::string partial;
    std::istringstream parts(path);
    std::string part;
    if (!path.empty() && path.front() == '/') partial = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        partial += part + "/";
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Replaces the file by a complete new one or leaves it as it was. A link is followed, so that a user's
// linked configuration stays a link.
bool writeAtomically(const std::string& requested, const std::string& text) {
    std::string path = requested;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) return false;
        path = resolved;
    }
    mode_t mode = 0644;
    if (::stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    if (!makeDirectories(directory)) return false;
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

// One argument of an Exec line: quoted when it holds a reserved character, '%' doubled, and then escaped as
// a desktop entry string.
std::optional<std::string> execArgument(const std::string& path) {
    if (path.empty()) return std::nullopt;
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
    const bool quote = path.find_first_of(" \t\"'\\><~|&;$*?#()`") != std::string::npos;
    std::string argument;
    if (quote) argument += '"';
    for (const char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
        argument += c;
        if (c == '%') argument += '%';
    }
    if (quote) argument += '"';
    std::string escaped;
    for (const char c : argument) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool containsLine(const std::string& text, const std::string& wanted) {
    for (const std::string& line : splitLines(text))
        if (trim(line) == wanted) return true;
    return false;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileChange assertDefaults(const DesktopPlaces& places) {
    if (places.configHome.empty()) return FileChange::Failed;
    const std::string path = places.configHome + "/mimeapps.list";
    std::string text;
    // A list that cannot be read is never overwritten: that would lose the user's other associations.
    const ReadResult read = readFile(path, text);
    if (read == ReadResult::Failed || text.find('\0') != std::string::npos) return FileChange::Failed;
    const std::optional<std::string> changed = withDefaultApplication(text, kExpressionMimeType, kDesktopId);
    if (!changed) return FileChange::Unchanged;
    return writeAtomically(path, *changed) ? FileChange::Written : FileChange::Failed;
}

FileChange assertDesktopEntry(const DesktopPlaces& places) {
    if (places.dataHome.empty()) return FileChange::Failed;
    const std::string path = places.dataHome + "/applications/" + kDesktopId;
    std::string current;
    const ReadResult read = readFile(path, current);
    if (read == ReadResult::Failed) return FileChange::Failed;
    if (read == ReadResult::Read) {
        // The user's own entry is theirs; one written here is kept pointing at this program.
        if (!containsLine(current, kGeneratedMark)) return FileChange::Unchanged;
    } else {
        for (const std::string& dir : places.dataDirs)
            if (fileExists(dir + "/applications/" + kDesktopId)) return FileChange::Unchanged;
    }
    const std::optional<std::string> entry = desktopEntryText(places.programPath);
    if (!entry) return FileChange::Failed;
    if (read == ReadResult::Read && current == *entry) return FileChange::Unchanged;
    return writeAtomically(path, *entry) ? FileChange::Written : FileChange::Failed;
}

} // namespace

DesktopPlaces DesktopPlaces::ofProcess(const std::string& programPath) {
    DesktopPlaces places;
    const std::string home = homeDirectory();
    if (std::optional<std::string> config = absoluteVariable("XDG_CONFIG_HOME"))
        places.configHome = *config;
    else if (!home.empty())
        places.configHome = home + "/.config";
    if (std::optional<std::string> data = absoluteVariable("XDG_DATA_HOME"))
        places.dataHome = *data;
    else if (!home.empty())
        places.dataHome = home + "/.local/share";
    if (std::optional<std::string> dirs = variable("XDG_DATA_DIRS")) {
        std::istringstream parts(*dirs);
        std::string dir;
        while (std::getline(parts, dir, ':'))
            if (!dir.empty() && dir.front() == '/') places.dataDirs.push_back(dir);
    }
    if (places.dataDirs.empty()) places.dataDirs = {"/usr/local/share", "/usr/share"};
    places.programPath = programPath;
    return places;
}

std::optional<std::string> withDefaultApplication(const std::string& text, const std::string& mimeType,
                                                  const std::string& desktopId) {
    std::vector<std::string> lines = splitLines(text);
    const std::string entry = mimeType + "=" + desktopId;
    bool inDefaults = false, found = false, changed = false;
    // Where a missing entry goes: after the last non-blank line of the first defaults group.
    std::optional<std::size_t> insertAfter;
    bool inFirstGroup = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = trim(lines[i]);
        if (!line.empty() && line.front() == '[') {
            inDefaults = line == kDefaultsGroup;
            inFirstGroup = inDefaults && !insertAfter;
            if (inFirstGroup) insertAfter = i;
            continue;
        }
        if (!inDefaults || line.empty() || line.front() == '#') continue;
        if (inFirstGroup) insertAfter = i;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || trim(line.substr(0, equals)) != mimeType) continue;
        found = true;
        // The first program of the list is the default; the rest of a list naming this one first is kept.
        const std::string value = trim(line.substr(equals + 1));
        if (trim(value.substr(0, value.find(';'))) == desktopId) continue;
        lines[i] = entry;
        changed = true;
    }
    if (found && !changed) return std::nullopt;
    if (!found) {
        if (insertAfter) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1, entry);
        } else {
            if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back("");
            lines.push_back(kDefaultsGroup);
            lines.push_back(entry);
        }
    }
    std::string result;
    for (const std::string& line : lines) result += line + "\n";
    // A list that did not end in a line break keeps its last line as it was, apart from ours after it.
    if (!text.empty() && text.back() != '\n' && found) result.pop_back();
    return result;
}

std::optional<std::string> desktopEntryText(const std::string& programPath) {
    if (programPath.empty() || programPath.front() != '/') return std::nullopt;
    const std::optional<std::string> argument = execArgument(programPath);
    if (!argument) return std::nullopt;
    return std::string("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Volumira\n"
                       "Comment=Mouse brain atlas and gene expression viewer\n"
                       "Exec=") +
           *argument +
           " %f\n"
           "MimeType=" +
           kExpressionMimeType +
           ";\n"
           "Icon=volumira\n"
           "Terminal=false\n"
           "Categories=Science;Biology;Education;\n" +
           kGeneratedMark + "\n";
}

AssociationOutcome assertFileAssociation(const DesktopPlaces& places) {
    return {assertDefaults(places), assertDesktopEntry(places)};
}

} // namespace volumira

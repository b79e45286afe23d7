#include "platform/DataLocations.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace volumira {

namespace {

const char* const kCreateFailed = "Could not create program data directory.";
const char* const kProgramDirectoryUnknown = "Error finding program directory.";
const char* const kCompanyFolder = "Tessaly Institute";
const char* const kProgramFolder = "Volumira";

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string withTrailingSlash(const std::string& path) {
    return path.empty() || path.back() == '/' ? path : path + "/";
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// An environment variable that is set and not empty.
std::optional<std::string> setting(const LocationEnvironment& environment, const char* name) {
    if (!environment.variable) return std::nullopt;
    std::optional<std::string> value = environment.variable(name);
    if (!value || value->empty()) return std::nullopt;
    return value;
}

// A folder the user named explicitly: create what is missing, but never delete anything on the way.
std::string overrideLocation(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!isDirectory(path)) throw std::runtime_error(kCreateFailed);
    return withTrailingSlash(path);
}

// The per-user base folder, created like any standard folder; "" when it cannot be named or made.
std::string applicationBase(const LocationEnvironment& environment) {
    std::string base;
    // Relative values are invalid by the XDG rules and are ignored.
    if (auto dataHome = setting(environment, "XDG_DATA_HOME"); dataHome && dataHome->front() == '/') {
        base = *dataHome;
    } else if (auto home = setting(environment, "HOME"); home && home->front() == '/') {
        base = withoutTrailingSlashes(*home) + "/.local/share";
    } else {
        return "";
    }
    base = withoutTrailingSlashes(base);
    std::error_code error;
    std::filesystem::create_directories(base, error);
    if (!isDirectory(base)) return "";

    std::string path = (base == "/" ? "" : base) + "/" + kCompanyFolder;
    ensureDirectory(path);
    path += "/";
    path += kProgramFolder;
    ensureDirectory(path);
    return path + "/";
}

std::optional<std::string> programDirectoryOfProcess() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || program.empty()) return std::nullopt;
    std::string text = program.string();
    std::size_t slash = text.find_last_of('/');
    if (slash == std::string::npos) return std::nullopt;
    return text.substr(0, slash + 1);
}

// One lock for all three caches: the first computation may create folders, which must not race.
std::mutex& locationMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string cached(std::string& slot, std::string (*resolve)(const LocationEnvironment&)) {
    std::lock_guard<std::mutex> lock(locationMutex());
    if (slot.empty()) slot = resolve(LocationEnvironment::ofProcess());
    return slot;
}

} // namespace

LocationEnvironment LocationEnvironment::ofProcess() {
    LocationEnvironment environment;
    environment.variable = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value) return std::nullopt;
        return std::string(value);
    };
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) environment.currentDirectory = current.string();
    environment.programDirectory = programDirectoryOfProcess();
    return environment;
}

std::string resolveDataDirectory(const LocationEnvironment& environment) {
    if (auto path = setting(environment, "VOLUMIRA_DATA_DIR")) return withTrailingSlash(*path);

    // A "Data" folder in the working directory wins, so a developer can run an uninstalled build.
    if (!environment.currentDirectory.empty()) {
        std::string local = withoutTrailingSlashes(environment.currentDirectory);
        local = (local == "/" ? "" : local) + "/Data";
        if (isDirectory(local)) return local + "/";
    }

    if (!environment.programDirectory || environment.programDirectory->empty())
        throw std::runtime_error(kProgramDirectoryUnknown);
    std::string besideProgram = withTrailingSlash(*environment.programDirectory) + "Data";
    if (isDirectory(besideProgram)) return besideProgram + "/";
    if (std::string installed = installedDataDirectory(*environment.programDirectory); isDirectory(installed))
        return installed;
    return besideProgram + "/";
}

std::string installedDataDirectory(const std::string& programDirectory) {
    // The program path is a resolved link target, so ".." can be folded without looking at the disk.
    std::filesystem::path path = std::filesystem::path(withTrailingSlash(programDirectory)) / "../share/volumira/Data";
    return withTrailingSlash(withoutTrailingSlashes(path.lexically_normal().string()));
}

std::string resolveUserDirectory(const LocationEnvironment& environment) {
    if (auto path = setting(environment, "VOLUMIRA_USER_DIR")) return overrideLocation(*path);
    return applicationBase(environment);
}

std::string resolveAtlasDirectory(const LocationEnvironment& environment) {
    if (auto path = setting(environment, "VOLUMIRA_ATLAS_DIR")) return overrideLocation(*path);
    std::string base = applicationBase(environment);
    if (base.empty()) return "";
    ensureDirectory(base + "Atlas");
    return base + "Atlas/";
}

std::string dataDirectory() {
    static std::string location;
    return cached(location, resolveDataDirectory);
}

std::string userDirectory() {
    static std::string location;
    return cached(location, resolveUserDirectory);
}

std::string atlasDirectory() {
    static std::string location;
    return cached(location, resolveAtlasDirectory);
}

void ensureDirectory(const std::string& path) {
    std::string directory = withoutTrailingSlashes(path);
    if (isDirectory(directory)) return;
    // Anything else under that name (a file, a link, a pipe) is in the way; a link itself is removed,
    // never what it points to.
    struct stat info {};
    if (::lstat(directory.c_str(), &info) == 0 && ::unlink(directory.c_str()) != 0)
        throw std::runtime_error(kCreateFailed);
    if (::mkdir(directory.c_str(), 0777) != 0) {
        // Someone else may have made it in the meantime.
        if (errno == EEXIST && isDirectory(directory)) return;
        throw std::runtime_error(kCreateFailed);
    }
}

bool tryEnsureDirectory(const std::string& path) {
    try {
        ensureDirectory(path);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace volumira

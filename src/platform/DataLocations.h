#pragma once

// Where the program finds its installed reference data and keeps per-user and unpacked atlas data.
// Every location ends in "/", is computed once per process and cached; a location whose base folder
// cannot be named is "" (files are then relative to the current directory) and is computed again next time.

#include <functional>
#include <optional>
#include <string>

namespace volumira {

// Installed reference data: volumes, meshes, ontology, colour maps, search domains, similarity database.
// Throws std::runtime_error "Error finding program directory." when the program's own path is unknown.
std::string dataDirectory();
// Per-user data: bookmarks and the downloaded search domain file. Created on first use.
std::string userDirectory();
// Unpacked atlas volumes and their version file. Created on first use.
std::string atlasDirectory();

// Makes sure path names a directory; a non-directory in the way is deleted first. Throws
// std::runtime_error "Could not create program data directory." when that is not possible.
void ensureDirectory(const std::string& path);
// ensureDirectory that reports failure as false instead of throwing.
bool tryEnsureDirectory(const std::string& path);

// What the resolution of the locations looks at, so that it can be run against a made-up process.
struct LocationEnvironment {
    // Value of an environment variable; nullopt when unset.
    std::function<std::optional<std::string>(const std::string& name)> variable;
    // Absolute current working directory; "" when unknown.
    std::string currentDirectory;
    // Directory of the program file, ending in "/"; nullopt when the program path cannot be obtained.
    std::optional<std::string> programDirectory;

    static LocationEnvironment ofProcess();
};

// Where an installation keeps its reference data: "../share/volumira/Data/" from the program's directory,
// so that an installed tree can be moved to another prefix.
std::string installedDataDirectory(const std::string& programDirectory);

// The uncached resolution behind the accessors above; the user and atlas locations create their folders.
std::string resolveDataDirectory(const LocationEnvironment& environment);
std::string resolveUserDirectory(const LocationEnvironment& environment);
std::string resolveAtlasDirectory(const LocationEnvironment& environment);

} // namespace volumira

#pragma once

// The gene file type for the user, the freedesktop way: at every start the user's mimeapps.list names
// this program as the default for ".xpr" files, and a user desktop entry stands in for a missing installed
// one. Only files under the user's XDG folders are written, each one atomically.

#include <optional>
#include <string>
#include <vector>

namespace volumira {

inline constexpr const char* kExpressionMimeType = "application/x-volumira-expression";
inline constexpr const char* kDesktopId = "volumira.desktop";

// The XDG folders of the user and the program that is to open the files.
struct DesktopPlaces {
    // $XDG_CONFIG_HOME, else ~/.config; "" when there is no home either.
    std::string configHome;
    // $XDG_DATA_HOME, else ~/.local/share; "" when there is no home either.
    std::string dataHome;
    // $XDG_DATA_DIRS, else /usr/local/share and /usr/share: where an installed entry would be.
    std::vector<std::string> dataDirs;
    std::string programPath;

    static DesktopPlaces ofProcess(const std::string& programPath);
};

enum class FileChange { Unchanged, Written, Failed };

struct AssociationOutcome {
    FileChange defaults = FileChange::Unchanged;
    FileChange desktopEntry = FileChange::Unchanged;
};

// The mimeapps.list text with mimeType's default application set to desktopId under
// "[Default Applications]", every other line kept; nullopt when it already is the default.
std::optional<std::string> withDefaultApplication(const std::string& text, const std::string& mimeType,
                                                  const std::string& desktopId);

// The desktop entry that opens gene files with the program; nullopt for a path no Exec line can carry.
std::optional<std::string> desktopEntryText(const std::string& programPath);

// Makes this program the user's default for gene files and writes the user desktop entry when no installed
// one exists (or refreshes one this function wrote before). Failures change nothing and are only reported.
AssociationOutcome assertFileAssociation(const DesktopPlaces& places);

} // namespace volumira

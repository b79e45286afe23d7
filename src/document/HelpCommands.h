#pragma once

#include <functional>
#include <optional>
#include <string>

namespace volumira {

// Where the help documents may lie: the current directory, then the program's, then the share directory
// an installation puts beside the program's ("<program dir>/../share/volumira/"), then the folder that
// holds the Data folder in use, as the installation's share directory does (an uninstalled build run on
// its own Data). Each ends in "/" or is empty.
struct HelpLocations {
    std::string currentDirectory;
    std::string programDirectory;
    std::string dataParentDirectory;
};

// The Help menu's documents and web site. The opener hands a path or address to the desktop and says
// whether it could; each command returns the message to show, empty when it worked.
class HelpCommands {
  public:
    static constexpr const char* kTutorial = "Documentation/Tutorial.pdf";
    static constexpr const char* kReleaseNotes = "Documentation/Readme.txt";

    HelpCommands(HelpLocations locations, std::function<bool(const std::string&)> opener, std::string siteAddress);

    std::string openTutorial() const;
    std::string openReleaseNotes() const;
    std::string openWebSite() const;
    // The first existing copy of a document given relative to the installation; nothing when none exists.
    std::optional<std::string> findDocument(const std::string& relative) const;
    const std::string& siteAddress() const { return site_; }

  private:
    std::string openDocument(const char* relative, const std::string& failure) const;

    HelpLocations locations_;
    std::function<bool(const std::string&)> opener_;
    std::string site_;
};

// "Version 1.4.3 Build 34".
std::string aboutVersionText(const std::string& version, int build);

} // namespace volumira

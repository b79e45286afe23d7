#include "document/HelpCommands.h"

#include "platform/FileUtils.h"

namespace volumira {

namespace {

const char* const kTutorialFailure =
    "The tutorial could not be opened. Please check the directory where this application is installed for the "
    "Tutorial file.\n\nYou need a PDF reader such as Adobe Acrobat Reader to read it; Adobe Acrobat Reader can "
    "be downloaded from https://get.adobe.com/reader/, and most Linux desktops come with a PDF reader of their "
    "own.";
const char* const kReleaseNotesFailure =
    "The release notes could not be opened. Please check the directory where this application is installed for "
    "the Readme file";

} // namespace

HelpCommands::HelpCommands(HelpLocations locations, std::function<bool(const std::string&)> opener,
                           std::string siteAddress)
    : locations_(std::move(locations)), opener_(std::move(opener)), site_(std::move(siteAddress)) {}

std::optional<std::string> HelpCommands::findDocument(const std::string& relative) const {
    const std::string installed =
        locations_.programDirectory.empty() ? "" : locations_.programDirectory + "../share/volumira/";
    for (const std::string& base : {locations_.currentDirectory, locations_.programDirectory, installed,
                                    locations_.dataParentDirectory}) {
        if (base.empty()) continue;
        const std::string path = base + relative;
        if (fileExists(path)) return path;
    }
    return std::nullopt;
}

std::string HelpCommands::openDocument(const char* relative, const std::string& failure) const {
    const std::optional<std::string> path = findDocument(relative);
    if (!path || !opener_ || !opener_(*path)) return failure;
    return {};
}

std::string HelpCommands::openTutorial() const { return openDocument(kTutorial, kTutorialFailure); }

std::string HelpCommands::openReleaseNotes() const { return openDocument(kReleaseNotes, kReleaseNotesFailure); }

std::string HelpCommands::openWebSite() const {
    if (opener_ && opener_(site_)) return {};
    return "Could not open the Tessaly Brain Atlas web site from Volumira. Please open your web browser and go to " +
           site_ + ".";
}

std::string aboutVersionText(const std::string& version, int build) {
    return "Version " + version + " Build " + std::to_string(build);
}

} // namespace volumira

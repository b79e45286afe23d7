#pragma once

#include <CLI/CLI.hpp>
#include <iosfwd>
#include <stdexcept>
#include <string>

namespace volumira::tool {

// Runs the command line as given; returns the process exit status. Results go to `out`,
// errors to `err` as "volumira-tool: error: <message>".
int runTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// A directory given on the command line, ending in "/" as the program's directories do.
std::string asDirectory(std::string path);

// The Data directory a command reads the atlas from: the one given with --data, else the program's own.
std::string dataDirectoryOption(const std::string& given);

// Returns what `open` makes from the atlas files of dataDir. Its failure says which Data directory was
// tried and how to name another: the default one is easily not the one the user meant.
template <typename Open> auto fromDataDirectory(const std::string& dataDir, Open&& open) -> decltype(open()) {
    try {
        return open();
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string(e.what()) + " (Data directory tried: " + dataDir +
                                 "; --data DIR names another.)");
    }
}

// Each command group adds its subcommands; they write results to `out`.
void addVolumeCommands(CLI::App& app, std::ostream& out);
void addOntologyCommands(CLI::App& app, std::ostream& out);
void addMeshCommands(CLI::App& app, std::ostream& out);
void addAtlasCommands(CLI::App& app, std::ostream& out);
void addSampleDataCommands(CLI::App& app, std::ostream& out);
void addXprCommands(CLI::App& app, std::ostream& out);
void addRenderCommands(CLI::App& app, std::ostream& out);
void addBookmarkCommands(CLI::App& app, std::ostream& out);
void addSearchCommands(CLI::App& app, std::ostream& out);
void addFetchCommands(CLI::App& app, std::ostream& out);
void addSectionImageCommand(CLI::App& app, std::ostream& out);
// Adds "slice" to the "atlas" command group.
void addAtlasSliceCommand(CLI::App& atlasCommand, std::ostream& out);

} // namespace volumira::tool

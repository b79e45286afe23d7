#pragma once

#include <CLI/CLI.hpp>
#include <iosfwd>
#include <string>

namespace volumira::tool {

// Runs the command line as given; returns the process exit status. Results go to `out`,
// errors to `err` as "volumira-tool: error: <message>".
int runTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// A directory given on the command line, ending in "/" as the program's directories do.
std::string asDirectory(std::string path);

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
// Adds "slice" to the "atlas" command group.
void addAtlasSliceCommand(CLI::App& atlasCommand, std::ostream& out);

} // namespace volumira::tool

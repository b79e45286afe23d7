#include "volumira-tool/Tool.h"

#include "platform/DataLocations.h"

#include <exception>
#include <ostream>

namespace volumira::tool {

std::string asDirectory(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

std::string dataDirectoryOption(const std::string& given) {
    return given.empty() ? dataDirectory() : asDirectory(given);
}

int runTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Volumira's command-line tool: inspect and convert the program's data files.",
                 "volumira-tool"};
    app.require_subcommand(1);
    addVolumeCommands(app, out);
    addOntologyCommands(app, out);
    addMeshCommands(app, out);
    addAtlasCommands(app, out);
    CLI::App* atlas = nullptr;
    try {
        atlas = app.get_subcommand("atlas");
    } catch (const CLI::Error&) {
        atlas = app.add_subcommand("atlas", "Check and look at an atlas Data directory");
    }
    addAtlasSliceCommand(*atlas, out);
    addSampleDataCommands(app, out);
    addXprCommands(app, out);
    addRenderCommands(app, out);
    addBookmarkCommands(app, out);
    addSearchCommands(app, out);
    addFetchCommands(app, out);
    addSectionImageCommand(app, out);
    // Name a mistyped command rather than only saying that one is required.
    if (argc > 1 && argv[1][0] != '-') {
        try {
            app.get_subcommand(argv[1]);
        } catch (const CLI::Error&) {
            err << "volumira-tool: error: unknown command \"" << argv[1]
                << "\"; run with --help for the commands.\n";
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err);
    } catch (const std::exception& e) {
        err << "volumira-tool: error: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace volumira::tool

#include "sample-data/SampleAtlas.h"
#include "volumira-tool/Tool.h"

#include <memory>
#include <ostream>

namespace volumira::tool {

void addSampleDataCommands(CLI::App& app, std::ostream& out) {
    struct Options {
        std::string directory;
        bool small = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* make =
        app.add_subcommand("make-sample-data", "Write the sample reference atlas into a Data directory");
    make->add_option("directory", options->directory, "Directory to write (created when missing)")
        ->required();
    make->add_flag("--small", options->small,
                   "A quarter-size variant for fast tests (not loadable as the atlas)");
    make->callback([&out, options] {
        sample::writeSampleAtlas(options->directory,
                                 options->small ? sample::SampleGrid::small() : sample::SampleGrid::full(),
                                 &out);
    });
}

} // namespace volumira::tool

#include "volumira-tool/Tool.h"

namespace volumira::tool {

// Placeholder until the sampledata commands land.
void addSampleDataCommands(CLI::App&, std::ostream&) {}

} // namespace volumira::tool

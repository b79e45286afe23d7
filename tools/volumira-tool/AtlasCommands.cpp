#include "volumira-tool/Tool.h"

namespace volumira::tool {

// Placeholder until the atlas commands land.
void addAtlasCommands(CLI::App&, std::ostream&) {}

} // namespace volumira::tool

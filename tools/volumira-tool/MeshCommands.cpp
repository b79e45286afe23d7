#include "volumira-tool/Tool.h"

namespace volumira::tool {

// Placeholder until the mesh commands land.
void addMeshCommands(CLI::App&, std::ostream&) {}

} // namespace volumira::tool

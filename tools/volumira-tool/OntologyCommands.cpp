#include "volumira-tool/Tool.h"

namespace volumira::tool {

// Placeholder until the ontology commands land.
void addOntologyCommands(CLI::App&, std::ostream&) {}

} // namespace volumira::tool

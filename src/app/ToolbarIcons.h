#pragma once

#include "document/CommandId.h"

#include <QIcon>

namespace volumira {

// The tool bar's 16 x 15 pictures, drawn by the program itself; a null icon for commands without one.
QIcon toolbarIcon(CommandId id);

} // namespace volumira

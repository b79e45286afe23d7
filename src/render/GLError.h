#pragma once

namespace volumira {

// Reads, and so clears, the pending GL error after a texture step and returns it (0 = none). The step
// name is only kept for debugging; nothing is reported to the user.
unsigned int checkGLError(const char* step);

} // namespace volumira

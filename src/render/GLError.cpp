#include "render/GLError.h"

#include "render/GL.h"

namespace volumira {

unsigned int checkGLError(const char* step) {
    (void)step; // handy in a debugger; nothing is reported
    return glGetError();
}

} // namespace volumira

#pragma once

// The fixed-function GL and GLU headers, with the extension tokens (BGRA, framebuffer objects) declared.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#pragma once

// The fixed-function GL and GLU headers with the extension tokens and function types (BGRA, framebuffer
// objects); extension functions are looked up at run time.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

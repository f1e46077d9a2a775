// The OpenGL header. On Windows it needs the calling conventions and import
// markers (APIENTRY, WINGDIAPI) that <windows.h> defines, so that comes first.
#pragma once

#ifdef _WIN32
#include "platform/windows.h"
#endif
#include <GL/gl.h>

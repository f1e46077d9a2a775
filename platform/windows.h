// <windows.h> without the parts that clash with standard C++ (min, max) or
// that the viewer never uses. Included only when building for Windows.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

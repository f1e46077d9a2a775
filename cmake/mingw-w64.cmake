# Cross-builds for 64-bit Windows with Debian's MinGW-w64, posix thread model.
# Libraries built for the target are looked for under ASEVIEW_WINDOWS_PREFIX
# (-DASEVIEW_WINDOWS_PREFIX=DIR) and the compiler's own folder, never the
# host's. Programs built for the target run under wine's 64-bit loader.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${ASEVIEW_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ASEVIEW_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ASEVIEW_WINE NAMES wine64 wine)
if(ASEVIEW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ASEVIEW_WINE})
endif()

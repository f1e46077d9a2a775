#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test: unit, OpenGL (each in a private Xvfb) and end-to-end, then checks the
# install (man page, Debian package, installed viewer). Then builds the
# same tests with clang's address and undefined-behaviour sanitizers into
# build-sanitize/ and runs them again, and runs each fuzz target for a while
# on its corpus (ASEVIEW_FUZZ_SECONDS, 60 by default). Last, tools/windows.sh
# checks the Windows build under wine.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

# clang and its runtimes build the sanitized tests and the fuzz targets;
# valgrind checks the viewer's memory use in one end-to-end test.
# dpkg-dev and file let cpack find the Debian package's Depends; man-db reads
# and checks the man page. The desktop tests check the entry with
# desktop-file-utils, the types with GIO (libglib2.0-bin) and shared-mime-info,
# and type q into the viewer with xdotool; bubblewrap runs the thumbnailer in
# a file manager's sandbox.
ASEVIEW_EXTRA_PACKAGES="clang libclang-rt-14-dev llvm valgrind dpkg-dev file man-db \
    desktop-file-utils libglib2.0-bin shared-mime-info xdotool bubblewrap" \
    "$project_root/tools/setup.sh" -DASEVIEW_WERROR=ON
ctest --test-dir "$project_root/build" -j "$jobs" --output-on-failure
# The man page, the Debian package and the installed viewer, run headless.
"$project_root/tools/check_install.sh" "$project_root/build"

sanitize_dir=$project_root/build-sanitize
cmake -S "$project_root" -B "$sanitize_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DASEVIEW_SANITIZE=ON \
    -DASEVIEW_WERROR=ON >/dev/null
cmake --build "$sanitize_dir" -j "$jobs"
# The first report ends the process with status 86, which no test takes for
# a result of its own (the viewer's own failures end with 1).
sanitizer_options=halt_on_error=1:exitcode=86
export UBSAN_OPTIONS=$sanitizer_options:print_stacktrace=1
# The unit tests look for leaks. Processes that load Mesa (the OpenGL tests
# and, through the end-to-end tests, the viewer) do not: the GL and X
# libraries keep memory to the end, and their driver is unloaded before the
# leak check, which then cannot tell its blocks from ours. The viewer's own
# leaks are left to the valgrind test of the plain build.
ASAN_OPTIONS=$sanitizer_options:detect_leaks=1 \
    ctest --test-dir "$sanitize_dir" -L unit -j "$jobs" --output-on-failure
ASAN_OPTIONS=$sanitizer_options:detect_leaks=0 \
    ctest --test-dir "$sanitize_dir" -L display -j "$jobs" --output-on-failure

ASAN_OPTIONS=$sanitizer_options "$project_root/tools/fuzz.sh" all "${ASEVIEW_FUZZ_SECONDS:-60}"

# The Windows build: cross-compiled, its unit tests and the viewer run under wine, the zip.
"$project_root/tools/windows.sh"

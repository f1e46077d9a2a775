#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test: unit, OpenGL (each in a private Xvfb) and end-to-end.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$project_root/tools/setup.sh" -DASEVIEW_WERROR=ON
ctest --test-dir "$project_root/build" -j "$(nproc)" --output-on-failure

#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), and
# those named in ASEVIEW_EXTRA_PACKAGES, then configures and builds into
# build/. Extra arguments go to cmake.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(cmake make g++ pkg-config freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri
          libgtest-dev libx11-dev libxtst-dev libxdamage-dev libstb-dev xvfb xauth)
read -r -a extra_packages <<<"${ASEVIEW_EXTRA_PACKAGES:-}"

# shellcheck source=tools/packages.sh
source "$project_root/tools/packages.sh"

build_project() {
    cmake -S "$project_root" -B "$project_root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$project_root/build" -j "$(nproc)"
}

install_missing_packages "${packages[@]}" "${extra_packages[@]}"
build_project "$@"

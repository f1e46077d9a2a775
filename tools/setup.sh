#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), and
# those named in ASEVIEW_EXTRA_PACKAGES, then configures and builds into
# build/. Extra arguments go to cmake.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(cmake make g++ pkg-config freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri
          libgtest-dev libx11-dev libxtst-dev libxdamage-dev libstb-dev xvfb xauth)
read -r -a extra_packages <<<"${ASEVIEW_EXTRA_PACKAGES:-}"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
}

build_project() {
    cmake -S "$project_root" -B "$project_root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$project_root/build" -j "$(nproc)"
}

install_missing_packages "${packages[@]}" "${extra_packages[@]}"
build_project "$@"

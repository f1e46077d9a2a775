#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), and
# those named in ASEVIEW_EXTRA_PACKAGES, then configures and builds into
# build/. Extra arguments go to cmake. Says what it does, a line or two a
# step, on standard error, so that standard output keeps the callers' own.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$project_root/build

packages=(cmake make g++ pkg-config freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri
          libegl-dev libpng-dev libgtest-dev libx11-dev libxtst-dev libxdamage-dev libstb-dev
          xvfb xauth)
read -r -a extra_packages <<<"${ASEVIEW_EXTRA_PACKAGES:-}"

# shellcheck source=tools/packages.sh
source "$project_root/tools/packages.sh"

# Passes the build's messages on, except the progress lines of make ("[ 42%]
# ...") and ninja ("[42/99] ..."), which become one line: rewritten in place
# on a terminal, else one a quarter of the way. A build with nothing to do
# shows none.
show_build_progress() {
    local line percent quarter=-1 terminal=0 on_line=0
    [ -t 2 ] && terminal=1
    while IFS= read -r line || [ -n "$line" ]; do
        if [[ $line =~ ^\[\ *([0-9]+)(%|/([0-9]+))\]\ (.*)$ ]]; then
            [[ ${BASH_REMATCH[4]} != "Built target "* ]] || continue
            percent=${BASH_REMATCH[1]}
            [ -z "${BASH_REMATCH[3]}" ] || percent=$((100 * percent / BASH_REMATCH[3]))
            if ((terminal)); then
                printf '\r\033[K  build: %3d%% %.60s' "$percent" "${BASH_REMATCH[4]}" >&2
                on_line=1
            elif ((percent / 25 > quarter)); then
                quarter=$((percent / 25))
                say "  build: $percent%"
            fi
        elif [[ $line != "Consolidate compiler generated dependencies"* ]]; then
            ((on_line)) && printf '\r\033[K' >&2
            on_line=0
            say "$line"
        fi
    done
    ((on_line)) && printf '\r\033[K' >&2
    return 0
}

build_project() {
    say "Configuring build/ (cmake)"
    cmake -S "$project_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    local jobs first=""
    jobs=$(nproc)
    [ -e "$build_dir/aseview" ] || first=" (a first build takes a few minutes)"
    say "Building build/ with $jobs jobs$first"
    cmake --build "$build_dir" -j "$jobs" 2>&1 | show_build_progress
    say "Built: build/aseview"
}

install_missing_packages "${packages[@]}" "${extra_packages[@]}"
build_project "$@"

#!/usr/bin/env bash
# Builds the viewer and shows the bundled model, from assets/ (where it finds
# "simple.ase" and "map2.tga" and writes its dumps). Paths given after -m and
# -morph are taken from the caller's folder. Without a display it runs in a
# virtual X server, saves a screenshot of the first frames and ends; a viewer
# that ends before that ends the script at once, with the viewer's status.
# Each step (packages, configure, build, run) is said on standard error.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
caller_dir=$PWD

# Walks the arguments as the viewer does: an option that takes a value moves
# on to it, and that value is then tested as an option in its own right.
# Values the viewer treats as options stay as they are, so its rules for them
# still apply; a relative path is made to start from the caller's folder.
arguments=("$@")
from_caller() {
    local index=$1 value=${arguments[$1]}
    case $value in
    -m | -morph | -h | help | /* | '') ;;
    *) arguments[index]=$caller_dir/$value ;;
    esac
}
for ((i = 0; i < ${#arguments[@]}; i++)); do
    if [ "${arguments[i]}" = -m ] && ((i + 1 < ${#arguments[@]})); then
        i=$((i + 1))
        from_caller "$i"
    fi
    if [ "${arguments[i]}" = -morph ] && ((i + 1 < ${#arguments[@]})); then
        i=$((i + 1))
        from_caller "$i"
    fi
done

"$project_root/tools/setup.sh"
cd "$project_root/assets"

if [ -n "${DISPLAY:-}" ]; then
    echo "Running build/aseview in assets/" >&2
    exec "$project_root/build/aseview" "${arguments[@]}"
fi

screenshot="$project_root/build/screenshot.png"
echo "No display: running build/aseview in assets/, in a virtual X server (Xvfb)" >&2
exec 3< <(Xvfb -displayfd 1 -noreset -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r display_number <&3
export DISPLAY=":$display_number" LIBGL_ALWAYS_SOFTWARE=1
"$project_root/build/aseview" "${arguments[@]}" &
viewer_pid=$!
"$project_root/build/tools/snapshot_window" "$screenshot" &
snapshot_pid=$!
trap 'kill $viewer_pid $snapshot_pid $xvfb_pid 2>/dev/null || true' EXIT
# Whichever ends first decides: a viewer that ends before its window is
# captured (a bad option, an unreadable model or map) ends the script with
# its own status.
status=0
wait -n -p finished "$viewer_pid" "$snapshot_pid" || status=$?
if [ "${finished:-}" = "$viewer_pid" ]; then
    echo "The viewer ended with status $status before its window was captured; no screenshot" >&2
    exit "$status"
fi
[ "$status" -eq 0 ] || exit "$status"
echo "No display: ran the viewer in a virtual X server; screenshot saved to $screenshot"

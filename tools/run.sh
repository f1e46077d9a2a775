#!/usr/bin/env bash
# Builds the viewer and shows the bundled model, from assets/ (where it finds
# "simple.ase" and "map2.tga" and writes its dumps). Without a display it runs
# in a virtual X server, saves a screenshot of the first frames and ends.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$project_root/tools/setup.sh" >/dev/null
cd "$project_root/assets"

if [ -n "${DISPLAY:-}" ]; then
    exec "$project_root/build/aseview" "$@"
fi

screenshot="$project_root/build/screenshot.png"
exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r display_number <&3
export DISPLAY=":$display_number" LIBGL_ALWAYS_SOFTWARE=1
"$project_root/build/aseview" "$@" &
viewer_pid=$!
trap 'kill $viewer_pid $xvfb_pid 2>/dev/null || true' EXIT
"$project_root/build/tools/snapshot_window" "$screenshot"
echo "No display: ran the viewer in a virtual X server; screenshot saved to $screenshot"

#!/usr/bin/env bash
# Runs the built viewer on each model given, in the default mode, with -all
# and with -all -fit, in a private virtual X server, and prints one line per
# run: how it ended, how much of the window (outside the panel) the model
# fills, and the first line it wrote on standard error. A run counts as
# showing its model when its window opens and the model fills 1% to 90% of
# it: less is a speck or nothing, more is a view from inside the model.
# Usage: tools/try_models.sh MODEL.ase...   (build first: tools/setup.sh)
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
viewer=$project_root/build/aseview
snapshot=$project_root/build/tools/snapshot_window
[ -x "$viewer" ] && [ -x "$snapshot" ] || { echo "build first: tools/setup.sh" >&2; exit 1; }
[ $# -gt 0 ] || { echo "usage: $0 MODEL.ase..." >&2; exit 2; }

work=$(mktemp -d)
exec 3< <(Xvfb -displayfd 1 -noreset -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -rf "$work"' EXIT
read -r display_number <&3
export DISPLAY=":$display_number" LIBGL_ALWAYS_SOFTWARE=1
cp "$project_root/assets/map2.tga" "$work/"

declare -A shown=()
for model in "$@"; do
    path=$(realpath "$model")
    for mode in "" "-all" "-all -fit"; do
        # shellcheck disable=SC2086 # the mode is zero, one or two words
        (cd "$work" && exec "$viewer" $mode -m "$path" >"$work/out" 2>"$work/err") &
        viewer_pid=$!
        "$snapshot" "$work/shot.png" 10 --coverage >"$work/coverage" 2>/dev/null &
        snapshot_pid=$!
        # A viewer that ends first (a failure) decides at once.
        status=0
        wait -n -p finished "$viewer_pid" "$snapshot_pid" || status=$?
        if [ "$finished" = "$viewer_pid" ]; then
            kill "$snapshot_pid" 2>/dev/null || true
            wait "$snapshot_pid" 2>/dev/null || true
            result="status $status, no window"
        else
            kill "$viewer_pid" 2>/dev/null || true
            wait "$viewer_pid" 2>/dev/null || true
            share=$(sed -n 's/%.*//p' "$work/coverage")
            result="window, ${share:-?}% drawn"
            if [ -n "$share" ] && awk "BEGIN { exit !($share >= 1 && $share <= 90) }"; then
                shown[${mode:-default}]=$((${shown[${mode:-default}]:-0} + 1))
            fi
        fi
        printf '%-40s %-10s %-26s %s\n' "$(basename "$model")" "${mode:-default}" "$result" \
            "$(head -n 1 "$work/err" | cut -c 1-100)"
    done
done
for mode in "" "-all" "-all -fit"; do
    echo "${mode:-default}: ${shown[${mode:-default}]:-0} of $# show their model"
done

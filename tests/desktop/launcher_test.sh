#!/usr/bin/env bash
# Checks the file managers' launcher, installed with the viewer into a
# temporary prefix: a real model in a read-only folder, both names full of
# spaces, quotes, '$' and non-Latin letters, opens in a private Xvfb; its map
# copy and dumps land in the state folder and nothing in the model's folder;
# 'q' is no failure. A missing model is told in the dialog, on standard error
# and in the log; without a display, on standard error and in the log.
# Usage: launcher_test.sh BUILD_DIR. Any failed check ends it with status 1.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=$(cd "$1" && pwd)
scratch=$(mktemp -d)
xvfb_pid=
launcher_pid=
finish() {
    [ -z "$launcher_pid" ] || kill "$launcher_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    chmod -R u+w "$scratch"
    rm -rf "$scratch"
}
trap finish EXIT

fail() {
    echo "launcher_test: $*" >&2
    exit 1
}

prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
state=$scratch/state/aseview
folder=$scratch/"read-only \"models\" \$HOME 'ó' модели 文"
model=$folder/"box \$1 \"a\" 'b' ящик.ase"
mkdir "$folder"
cp "$project_root/tests/fixtures/real/cafu-box1a.ase" "$model"
chmod a-w "$model" "$folder"
# The first dialog the launcher looks for: it records what it was to show.
mkdir "$scratch/stubs"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$scratch/told.txt" >"$scratch/stubs/zenity"
chmod +x "$scratch/stubs/zenity"
export PATH=$scratch/stubs:$prefix/bin:$PATH XDG_STATE_HOME=$scratch/state
export LIBGL_ALWAYS_SOFTWARE=1

mkfifo "$scratch/display"
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
xvfb_pid=$!
read -r -t 10 display_number <"$scratch/display" || fail "Xvfb did not start"
export DISPLAY=:$display_number

aseview-open "$model" >"$scratch/open.out" 2>"$scratch/open.err" &
launcher_pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name 'ASE files$' | sed -n 1p) ||
    fail "no window: $(cat "$scratch/open.err" "$state/aseview.log" 2>&1)"
for _ in {1..100}; do
    [ -s "$state/vnorml.txt" ] && break
    sleep 0.2
done
# A press alone: the viewer may be gone before a release could reach it.
xdotool keydown --window "$window" q 2>/dev/null
for _ in {1..50}; do
    kill -0 "$launcher_pid" 2>/dev/null || break
    sleep 0.2
done
status=0
kill -0 "$launcher_pid" 2>/dev/null && fail "the viewer still runs after q"
wait "$launcher_pid" || status=$?
launcher_pid=
[ "$status" = 1 ] || fail "the launcher ended with status $status after q, not 1"
[ ! -e "$scratch/told.txt" ] || fail "q was told as a failure: $(cat "$scratch/told.txt")"
cmp -s "$prefix/share/aseview/map2.tga" "$state/map2.tga" || fail "no map copy in $state"
vertices=$(grep -c '^vertex pos = ' "$state/dump.txt" || true)
[ "$vertices" -gt 0 ] || fail "dump.txt in $state holds no vertices"
[ "$(ls -A "$folder")" = "$(basename "$model")" ] || fail "files were written beside the model"
[ "$(ls -d "$state"/run.* 2>/dev/null)" = "" ] || fail "the run's files were left in $state"
grep -qF " $model" "$state/aseview.log" || fail "the log does not name the model"
echo "opened: $vertices vertices dumped into the state folder; q ended it with status 1"

missing=$folder/"gone \$x ящик.ase"
status=0
aseview-open "$missing" >"$scratch/missing.out" 2>"$scratch/missing.err" || status=$?
[ "$status" = 1 ] || fail "a missing model ended the launcher with status $status"
told="aseview could not show \"$missing\":"
grep -qxF "$told" "$scratch/missing.err" || fail "standard error: $(cat "$scratch/missing.err")"
grep -qxF "$told" "$state/aseview.log" || fail "the log: $(cat "$state/aseview.log")"
grep -qxF -- "--text=$told" "$scratch/told.txt" || fail "the dialog: $(cat "$scratch/told.txt" 2>&1)"
grep -q '^aseview: cannot open .*No such file or directory' "$scratch/told.txt" ||
    fail "the dialog does not give the viewer's reason: $(cat "$scratch/told.txt")"
rm "$scratch/told.txt"
status=0
env -u DISPLAY aseview-open "$missing" >/dev/null 2>"$scratch/headless.err" || status=$?
if [ "$status" != 1 ] || ! grep -qxF "$told" "$scratch/headless.err"; then
    fail "without a display: status $status, $(cat "$scratch/headless.err")"
fi
[ ! -e "$scratch/told.txt" ] || fail "a dialog was shown without a display"
[ "$(grep -cxF "$told" "$state/aseview.log")" = 2 ] || fail "the log misses the second failure"
echo "missing model: told in the dialog, on standard error and in the log"

# A dump that cannot be opened ends the viewer with status 1 after its window
# showed, as q does: it is told all the same.
rm "$state/norm.txt"
mkdir "$state/norm.txt"
status=0
aseview-open "$model" >/dev/null 2>&1 || status=$?
told="--text=aseview could not write the dumps of \"$model\" whole in $state:"
if ! grep -qxF -- "$told" "$scratch/told.txt" ||
    ! grep -qx 'error in dump_norm()' "$scratch/told.txt"; then
    fail "a failed dump, status $status, was not told: $(cat "$scratch/told.txt" 2>&1)"
fi
echo "failed dump: told"

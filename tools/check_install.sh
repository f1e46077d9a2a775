#!/usr/bin/env bash
# Checks what a user gets from an install: the man page formats without
# warnings; the Debian package names the GLUT, GL, GLU, EGL and PNG libraries
# in its Depends and holds the installed files and nothing else; the viewer
# installed into a temporary prefix starts in a private Xvfb on the installed
# model and map, opens its window and writes its dumps; started from a folder
# without the map, it names that folder and the installed copy's cp line on
# standard error; the installed thumbnailer, in a file manager's sandbox
# (bwrap, no display), makes a PNG of the installed model. Works on an
# existing build (build/, or the folder given first). Any failed check ends
# it with status 1.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "${1:-$project_root/build}" && pwd)
man_page=$project_root/docs/aseview.1
installed_files=(bin/aseview bin/aseview-thumbnailer share/aseview/map2.tga
                 share/aseview/simple.ase share/man/man1/aseview.1)

scratch=$(mktemp -d)
xvfb_pid=
viewer_pid=
finish() {
    [ -z "$viewer_pid" ] || kill "$viewer_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap finish EXIT

fail() {
    echo "check_install: $*" >&2
    exit 1
}

# Prints the given files, one a line, sorted, each under the given prefix.
listed_under() {
    local prefix=$1 file
    shift
    for file in "$@"; do echo "$prefix$file"; done | sort
}

check_man_page() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 man --warnings -l "$man_page" 2>&1 >/dev/null) ||
        fail "man could not format $man_page: $warnings"
    [ -z "$warnings" ] || fail "man warns about $man_page: $warnings"
    warnings=$(groff -ww -z -man -Tutf8 "$man_page" 2>&1) ||
        fail "groff could not format $man_page: $warnings"
    [ -z "$warnings" ] || fail "groff warns about $man_page: $warnings"
    echo "man page: no warnings"
}

check_package() {
    (cd "$build_dir" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) ||
        fail "cpack could not make the package: $(cat "$scratch/cpack.log")"
    local packages=("$scratch"/package/aseview_*.deb)
    [ -f "${packages[0]}" ] || fail "cpack made no aseview_*.deb"
    local package=${packages[0]} depends contents
    depends=$(dpkg-deb --info "$package" | sed -n 's/^ Depends: //p')
    grep -q 'libglut' <<<"$depends" || fail "Depends names no GLUT library: '$depends'"
    grep -Eq 'libopengl0|libgl1' <<<"$depends" || fail "Depends names no GL library: '$depends'"
    grep -q 'libglu1' <<<"$depends" || fail "Depends names no GLU library: '$depends'"
    grep -q 'libegl1' <<<"$depends" || fail "Depends names no EGL library: '$depends'"
    grep -q 'libpng16' <<<"$depends" || fail "Depends names no PNG library: '$depends'"
    contents=$(dpkg-deb --contents "$package" | awk '$1 !~ /^d/ { print $NF }' | sort)
    [ "$contents" = "$(listed_under ./usr/ "${installed_files[@]}")" ] ||
        fail "the package holds other files than the installed ones: $contents"
    echo "package: $(basename "$package"), Depends: $depends"
}

install_into_prefix() {
    cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
    local found
    found=$(cd "$scratch/prefix" && find . -type f | sort)
    [ "$found" = "$(listed_under ./ "${installed_files[@]}")" ] ||
        fail "cmake --install put other files than those listed: $found"
    echo "install: the ${#installed_files[@]} files under the prefix"
}

# Counts the lines of a file that start with the given text.
count_lines() { grep -c "^$1" "$2" || true; }

run_installed_viewer() {
    local prefix=$scratch/prefix run_dir=$scratch/run display_number
    mkdir "$run_dir"
    cp "$prefix/share/aseview/map2.tga" "$run_dir/"
    mkfifo "$scratch/display"
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" \
        2>/dev/null &
    xvfb_pid=$!
    read -r -t 10 display_number <"$scratch/display" || fail "Xvfb did not start"
    export DISPLAY=":$display_number" LIBGL_ALWAYS_SOFTWARE=1

    (cd "$run_dir" && exec "$prefix/bin/aseview" -m "$prefix/share/aseview/simple.ase") \
        >"$scratch/console.txt" 2>&1 &
    viewer_pid=$!
    "$build_dir/tools/snapshot_window" "$scratch/window.png" 20 ||
        fail "the installed viewer showed no window: $(cat "$scratch/console.txt")"
    kill -0 "$viewer_pid" 2>/dev/null ||
        fail "the installed viewer ended at start-up: $(cat "$scratch/console.txt")"

    local vertices faces normals
    vertices=$(count_lines 'vertex pos = ' "$run_dir/dump.txt")
    faces=$(count_lines 'face num=' "$run_dir/norm.txt")
    normals=$(count_lines 'position = ' "$run_dir/vnorml.txt")
    [ "$vertices" = 1800 ] || fail "dump.txt holds $vertices vertex blocks, not 1800"
    [ "$faces" = 3600 ] || fail "norm.txt holds $faces face blocks, not 3600"
    [ "$normals" = 1800 ] || fail "vnorml.txt holds $normals vertex normals, not 1800"
    echo "installed viewer: window shown; dumps of 1800 vertices and 3600 faces"
}

# Without a map in its folder, the installed viewer ends with the console line
# and, on standard error, the folder it searched and how to copy the map that
# the install put beside it. It finds that copy from where it runs, so the
# temporary prefix is the one it names.
check_missing_map_hint() {
    local prefix run_dir=$scratch/no-map status=0 folder copy expected
    mkdir "$run_dir"
    folder=$(cd "$run_dir" && pwd -P)
    prefix=$(cd "$scratch/prefix" && pwd -P)
    copy=$prefix/share/aseview/map2.tga
    [[ $copy =~ ^[A-Za-z0-9_./:@%+=,-]+$ ]] || copy="'$copy'"
    (cd "$run_dir" && exec "$prefix/bin/aseview" -m "$prefix/share/aseview/simple.ase") \
        >"$scratch/no-map.out" 2>"$scratch/no-map.err" || status=$?
    [ "$status" = 1 ] || fail "the installed viewer without a map ended with status $status"
    [ "$(tail -n 1 "$scratch/no-map.out")" = 'could not open "map2.tga"' ] ||
        fail "the installed viewer without a map printed: $(cat "$scratch/no-map.out")"
    expected="aseview: cannot open \"map2.tga\" in $folder: No such file or directory;"
    expected+=" the map is read from the folder the viewer runs in;"
    expected+=" a copy is installed: cp $copy ."
    [ "$(cat "$scratch/no-map.err")" = "$expected" ] ||
        fail "the installed viewer without a map said: '$(cat "$scratch/no-map.err")'," \
            "not: '$expected'"
    echo "installed viewer without a map: names its folder and the installed copy"
}

# As a file manager runs it: no display, no GPU device, /usr read-only, the
# model read-only and only the output folder writable.
check_installed_thumbnailer() {
    local prefix output=$scratch/thumbnails size
    prefix=$(cd "$scratch/prefix" && pwd -P)
    mkdir "$output"
    env -u DISPLAY -u WAYLAND_DISPLAY bwrap --unshare-all --die-with-parent --new-session \
        --clearenv --setenv PATH /usr/bin:/bin --ro-bind /usr /usr --symlink usr/lib /lib \
        --symlink usr/lib64 /lib64 --symlink usr/bin /bin \
        --ro-bind-try /etc/ld.so.cache /etc/ld.so.cache --proc /proc --dev /dev --tmpfs /tmp \
        --ro-bind "$prefix" "$prefix" --bind "$output" "$output" \
        "$prefix/bin/aseview-thumbnailer" 128 "$prefix/share/aseview/simple.ase" \
        "$output/simple.png" >/dev/null 2>"$scratch/thumbnailer.err" ||
        fail "the installed thumbnailer failed in bwrap: $(cat "$scratch/thumbnailer.err")"
    size=$(file -b "$output/simple.png")
    [[ $size == "PNG image data, 128 x 128, 8-bit/color RGBA"* ]] ||
        fail "the installed thumbnailer wrote: $size"
    echo "installed thumbnailer in bwrap: $size"
}

[ -x "$build_dir/aseview" ] || fail "no viewer built in $build_dir"
check_man_page
check_package
install_into_prefix
run_installed_viewer
check_missing_map_hint
check_installed_thumbnailer

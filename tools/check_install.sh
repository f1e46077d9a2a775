#!/usr/bin/env bash
# Checks what a user gets from an install: the man page formats without
# warnings; the Debian package names the GLUT, GL, GLU, EGL and PNG libraries
# in its Depends, holds the installed files and nothing else, and has no
# maintainer scripts; the viewer installed into a temporary prefix starts in a
# private Xvfb on the installed model and map, opens its window and writes its
# dumps; started from a folder without the map, it names that folder and the
# installed copy's cp line on standard error. The desktop entry is valid;
# after the two database updates a user runs, GIO gives real models the
# model/x-ase type and refuses it to other ".ase" files, names aseview.desktop
# as its application, and opening a model as a double click does shows it.
# The installed thumbnailer, in a file manager's sandbox (bwrap, no display),
# makes a PNG of the installed model. Works on an existing build (build/, or
# the folder given first). Any failed check ends it with status 1.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "${1:-$project_root/build}" && pwd)
man_page=$project_root/docs/aseview.1
installed_files=(bin/aseview bin/aseview-open bin/aseview-thumbnailer
                 share/applications/aseview.desktop share/aseview/map2.tga
                 share/aseview/simple.ase share/icons/hicolor/scalable/apps/aseview.svg
                 share/man/man1/aseview.1 share/mime/packages/aseview.xml
                 share/thumbnailers/aseview.thumbnailer)

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
    local package=${packages[0]} depends contents control
    depends=$(dpkg-deb --info "$package" | sed -n 's/^ Depends: //p')
    grep -q 'libglut' <<<"$depends" || fail "Depends names no GLUT library: '$depends'"
    grep -Eq 'libopengl0|libgl1' <<<"$depends" || fail "Depends names no GL library: '$depends'"
    grep -q 'libglu1' <<<"$depends" || fail "Depends names no GLU library: '$depends'"
    grep -q 'libegl1' <<<"$depends" || fail "Depends names no EGL library: '$depends'"
    grep -q 'libpng16' <<<"$depends" || fail "Depends names no PNG library: '$depends'"
    contents=$(dpkg-deb --contents "$package" | awk '$1 !~ /^d/ { print $NF }' | sort)
    [ "$contents" = "$(listed_under ./usr/ "${installed_files[@]}")" ] ||
        fail "the package holds other files than the installed ones: $contents"
    # Debian's triggers refresh the MIME, desktop and icon caches.
    control=$(dpkg-deb --ctrl-tarfile "$package" | tar -t)
    ! grep -Eq '(pre|post)(inst|rm)$' <<<"$control" ||
        fail "the package has maintainer scripts: $control"
    echo "package: $(basename "$package"), Depends: $depends"
}

install_into_prefix() {
    cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
    local found
    found=$(cd "$scratch/prefix" && find . -type f | sort)
    [ "$found" = "$(listed_under ./ "${installed_files[@]}")" ] ||
        fail "cmake --install put other files than the installed ones: $found"
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

# The desktop as a user sets it up without root: the two database updates in
# the install's share/, the XDG data folder that GIO then reads; and a model
# opened as a double click opens it, in the first viewer's display.
check_desktop() {
    local share=$scratch/prefix/share state=$scratch/state/aseview model window default
    desktop-file-validate "$share/applications/aseview.desktop" ||
        fail "desktop-file-validate finds fault with aseview.desktop"
    update-mime-database "$share/mime" 2>/dev/null
    update-desktop-database "$share/applications"
    "$project_root/tests/desktop/mime_test.sh" "$share" >"$scratch/mime.txt" ||
        fail "GIO gives the wrong types: $(cat "$scratch/mime.txt")"
    export XDG_DATA_HOME=$share XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME=$scratch/config \
        XDG_STATE_HOME=$scratch/state PATH=$scratch/prefix/bin:$PATH
    default=$(gio mime model/x-ase | sed -n 1p)
    [[ $default == *": aseview.desktop" ]] || fail "gio mime model/x-ase: $default"
    echo "desktop: entry valid; $(wc -l <"$scratch/mime.txt") files typed by GIO; $default"

    kill "$viewer_pid" 2>/dev/null || true
    wait "$viewer_pid" 2>/dev/null || true
    viewer_pid=
    model=$scratch/"double click \$ 'ящик'.ASE"
    cp "$project_root/tests/fixtures/real/assimp-ThreeCubesGreen_UTF16LE.ASE" "$model"
    gio open "$model" || fail "gio open failed on $model"
    window=$(timeout 60 xdotool search --sync --onlyvisible --name 'ASE files$' | sed -n 1p) ||
        fail "no window after gio open: $(cat "$state/aseview.log" 2>&1)"
    for _ in {1..100}; do
        [ -s "$state/vnorml.txt" ] && break
        sleep 0.2
    done
    # A press alone: the viewer may be gone before a release could reach it.
    xdotool keydown --window "$window" q 2>/dev/null
    for _ in {1..50}; do
        [ -n "$(ls -d "$state"/run.* 2>/dev/null)" ] || break
        sleep 0.2
    done
    [ "$(grep -c '^vertex pos = ' "$state/dump.txt")" -gt 0 ] ||
        fail "the double-clicked model left no dumps in $state"
    grep -qF " $model" "$state/aseview.log" || fail "the launcher's log does not name $model"
    echo "desktop: gio open showed the model and left its dumps in the state folder"
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
    # It draws without a window, so it needs neither GLUT nor X11.
    ! readelf -d "$prefix/bin/aseview-thumbnailer" | grep -Eq 'libglut|libX11' ||
        fail "the installed thumbnailer needs GLUT or X11"
    echo "installed thumbnailer in bwrap: $size"
}

[ -x "$build_dir/aseview" ] || fail "no viewer built in $build_dir"
check_man_page
check_package
install_into_prefix
run_installed_viewer
check_missing_map_hint
check_desktop
check_installed_thumbnailer

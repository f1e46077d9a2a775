#!/usr/bin/env bash
# Cross-builds the viewer and the unit tests for 64-bit Windows into
# build-windows/ with Debian's MinGW-w64, runs the unit tests under wine,
# makes build-windows/aseview-VERSION-win64.zip, and runs the zip's viewer
# under wine in a private Xvfb on the bundled model, comparing its dumps with
# the Linux build's; then the same viewer and the zip's drag-and-drop
# launcher on models in a folder named with Cyrillic and CJK letters, and a
# multi-mesh model through the launcher. freeglut and GoogleTest are built
# for the target from Debian's source packages, once, into
# build-windows/deps/. The machine's own package sources, lists and cache are
# left as they are: apt-get reads a sources file and keeps its lists of its
# own under build-windows/apt/. Any failed step ends it with status 1.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$project_root/build-windows
deps_prefix=$build_dir/deps
apt_dir=$build_dir/apt
toolchain=$project_root/cmake/mingw-w64.cmake
jobs=$(nproc)
window_title="various stuff- vertex colors - ASE files"

packages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb xauth
          xdotool dpkg-dev libstb-dev)
# shellcheck source=tools/packages.sh
source "$project_root/tools/packages.sh"

fail() {
    echo "windows: $*" >&2
    exit 1
}

xvfb_pid=
viewer_pid=
finish() {
    [ -z "$viewer_pid" ] || kill "$viewer_pid" 2>/dev/null || true
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap finish EXIT

# Prints one deb-src line for each Debian archive, suite and component list
# of the machine's deb entries, in one-line sources.list form.
debian_source_entries() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # deb822 stanzas: blank lines end them; Signed-By is kept when it names a key file.
        awk 'function flush(   i, j, uri_count, suite_count, uris, suites, option) {
                 if (types ~ /(^| )deb( |$)/ && enabled != "no") {
                     option = signed_by ~ /^\// ? "[signed-by=" signed_by "] " : ""
                     uri_count = split(uri_list, uris, " ")
                     suite_count = split(suite_list, suites, " ")
                     for (i = 1; i <= uri_count; i++)
                         for (j = 1; j <= suite_count; j++)
                             print "deb-src " option uris[i] " " suites[j] " " components
                 }
                 types = uri_list = suite_list = components = signed_by = enabled = ""
             }
             /^[[:space:]]*$/ { flush(); next }
             /^#/ { next }
             {
                 field = tolower($1); sub(/:$/, "", field)
                 value = $0; sub(/^[^:]*:[[:space:]]*/, "", value)
                 if (field == "types") types = value
                 else if (field == "uris") uri_list = value
                 else if (field == "suites") suite_list = value
                 else if (field == "components") components = value
                 else if (field == "signed-by") signed_by = value
                 else if (field == "enabled") enabled = tolower(value)
             }
             END { flush() }' "$file"
    done
}

# Runs apt-get on the script's own sources file, lists and cache.
own_apt_get() {
    apt-get -o Dir::Etc::SourceList="$apt_dir/sources.list" \
        -o Dir::Etc::SourceParts="$apt_dir/sources.list.d" \
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" \
        -o APT::Sandbox::User="$(id -un)" "$@"
}

fetch_sources() {
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    # Only the Debian archives: other vendors' repositories may carry no sources.
    debian_source_entries | grep 'debian' | sort -u >"$apt_dir/sources.list" || true
    [ -s "$apt_dir/sources.list" ] || fail "no Debian archive among the machine's deb entries"
    own_apt_get update -qq >"$apt_dir/update.log" 2>&1 ||
        fail "apt-get update of the source lists failed: $(cat "$apt_dir/update.log")"
    rm -rf "$apt_dir/src"
    mkdir -p "$apt_dir/src"
    (cd "$apt_dir/src" && own_apt_get source -qq "$@" >"$apt_dir/source.log" 2>&1) ||
        fail "apt-get source $* failed: $(cat "$apt_dir/source.log")"
}

# Builds one unpacked source package with the toolchain and installs it into
# the prefix, then leaves a stamp that later runs skip it by.
build_dependency() {
    local package=$1 source_dir
    shift
    source_dir=$(find "$apt_dir/src" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
    [ -n "$source_dir" ] || fail "no unpacked source of $package"
    echo "Building $(basename "$source_dir") for Windows"
    rm -rf "$build_dir/deps-build/$package"
    cmake -S "$source_dir" -B "$build_dir/deps-build/$package" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps_prefix" "$@" >/dev/null
    cmake --build "$build_dir/deps-build/$package" -j "$jobs" >"$build_dir/deps-build/$package.log" 2>&1 ||
        fail "$package did not build: $(tail -n 30 "$build_dir/deps-build/$package.log")"
    cmake --install "$build_dir/deps-build/$package" >/dev/null
    basename "$source_dir" >"$deps_prefix/$package.built"
}

build_dependencies() {
    if [ -f "$deps_prefix/freeglut.built" ] && [ -f "$deps_prefix/googletest.built" ]; then
        return
    fi
    fetch_sources freeglut googletest
    build_dependency freeglut -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON \
        -DFREEGLUT_BUILD_DEMOS=OFF -DFREEGLUT_REPLACE_GLUT=ON
    build_dependency googletest -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF
    rm -rf "$apt_dir/src" "$build_dir/deps-build"
}

build_project() {
    cmake -S "$project_root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DASEVIEW_WINDOWS_PREFIX="$deps_prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DASEVIEW_WERROR=ON >/dev/null
    cmake --build "$build_dir" -j "$jobs"
}

# The programs may import only DLLs that every Windows has: freeglut, the C++
# runtime, libgcc and winpthread are linked in.
check_imports() {
    local program=$1 dll
    local system_dlls=" ADVAPI32.dll GDI32.dll KERNEL32.dll msvcrt.dll OPENGL32.dll GLU32.dll SHELL32.dll"
    system_dlls+=" USER32.dll WINMM.dll "
    for dll in $(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        [[ ${system_dlls,,} == *" ${dll,,} "* ]] || fail "$(basename "$program") imports $dll"
    done
}

start_display() {
    mkfifo "$build_dir/smoke/display"
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$build_dir/smoke/display" \
        2>/dev/null &
    xvfb_pid=$!
    local display_number
    read -r -t 10 display_number <"$build_dir/smoke/display" || fail "Xvfb did not start"
    export DISPLAY=":$display_number"
}

# A wine prefix of the script's own, first booted with a display (a prefix
# booted without one refuses windows later), without the .NET and HTML
# add-ons, which it would offer to download.
start_wine() {
    export WINEPREFIX=$build_dir/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Its ANSI code page (1252) cannot hold Cyrillic or CJK letters: paths of
    # such letters then open only where the viewer keeps them out of that page.
    export LANG=C.UTF-8
    # Whatever an interrupted run left in the prefix ends first.
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Booting the wine prefix $WINEPREFIX"
        /usr/lib/wine/wine64 wineboot -i >"$build_dir/smoke/wineboot.log" 2>&1 ||
            fail "wineboot failed: $(cat "$build_dir/smoke/wineboot.log")"
    fi
    # One wine server for all the programs that follow, so each starts quickly;
    # first the one that wineboot left, if any, ends by itself.
    /usr/lib/wine/wineserver -w
    /usr/lib/wine/wineserver -p
    # The prefix's background services start now, with their output in a file:
    # started by a test, they would hold its output pipe open and stall ctest.
    /usr/lib/wine/wine64 wineboot >>"$build_dir/smoke/wineboot.log" 2>&1 ||
        fail "wine did not start: $(cat "$build_dir/smoke/wineboot.log")"
}

run_unit_tests() {
    local log=$build_dir/smoke/ctest.log status=0
    ctest --test-dir "$build_dir" -j "$jobs" --timeout 300 --output-on-failure 2>&1 | tee "$log" || status=$?
    # Now and then wine fails to start a test's process, which then ends at
    # once without printing a line; the failed tests run once more, alone,
    # and a test that fails again fails the run.
    if [ "$status" -ne 0 ]; then
        say "windows: running the failed tests once more"
        status=0
        ctest --test-dir "$build_dir" --rerun-failed --timeout 300 --output-on-failure || status=$?
    fi
    [ "$status" -eq 0 ] || fail "unit tests failed under wine"
    local total skipped
    total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log")
    skipped=$(grep -c '(Skipped)' "$log" || true)
    unit_summary="unit tests under wine: $total run, $((total - skipped)) passed, $skipped skipped"
}

# Runs a command in a folder (a viewer without arguments, as a double click
# starts it, or with them), without standard input and its output read
# through files, until the viewer's window shows; then clicks it and types q,
# and checks that it ends with status 1.
run_viewer() {
    local run_dir=$1 window status attempt
    shift
    (cd "$run_dir" && exec "$@") </dev/null >"$run_dir.out" 2>"$run_dir.err" &
    viewer_pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "^$window_title\$" | head -n 1) ||
        fail "no window from $*: $(cat "$run_dir.out" "$run_dir.err")"
    for attempt in 1 2 3 4 5; do
        xdotool mousemove --window "$window" 320 240 click 1 2>/dev/null || true
        sleep 0.5
        xdotool key q
        for _ in {1..20}; do
            kill -0 "$viewer_pid" 2>/dev/null || break 2
            sleep 0.25
        done
        echo "$(basename "$run_dir"): the viewer still runs after q ($attempt); typing it again"
    done
    status=0
    wait "$viewer_pid" || status=$?
    viewer_pid=
    [ "$status" -eq 1 ] || fail "$* ended with status $status after q, not 1"
}

# Every line of a Windows text file ends in CR LF, and without the CRs it is
# the Linux file byte for byte.
same_but_crlf() {
    local windows_file=$1 linux_file=$2
    [ "$(grep -c $'\r$' "$windows_file")" = "$(wc -l <"$windows_file")" ] ||
        fail "not every line of $windows_file ends in CR LF"
    sed 's/\r$//' "$windows_file" | cmp -s - "$linux_file" ||
        fail "$windows_file differs from $linux_file apart from its line ends"
}

make_zip() {
    local version contents
    local expected=(README.md aseview.exe map2.tga open-with-aseview.cmd simple.ase windows.txt)
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
    zip=$build_dir/aseview-$version-win64.zip
    rm -f "$zip"
    (cd "$build_dir" && cpack -G ZIP >cpack.log 2>&1) ||
        fail "cpack could not make the zip: $(cat "$build_dir/cpack.log")"
    [ -f "$zip" ] || fail "cpack made no $zip"
    contents=$(cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
    [ "$contents" = "$(printf '%s\n' "${expected[@]}")" ] ||
        fail "the zip holds other files than ${expected[*]}: $contents"
    zip_summary="zip: $zip, $(stat -c %s "$zip") bytes"
}

# The viewer from the zip, unpacked, against the Linux viewer in a folder with
# the bundled model and map: each opens simple.ase from its folder.
smoke() {
    # The Linux viewer of the same sources: built afresh, or brought up to date.
    if [ -x "$project_root/build/aseview" ]; then
        cmake --build "$project_root/build" -j "$jobs" --target aseview >/dev/null
    else
        "$project_root/tools/setup.sh" >/dev/null
    fi
    local linux_dir=$build_dir/smoke/linux windows_dir dump
    mkdir -p "$linux_dir"
    cp "$project_root/assets/simple.ase" "$project_root/assets/map2.tga" "$linux_dir/"
    LIBGL_ALWAYS_SOFTWARE=1 run_viewer "$linux_dir" "$project_root/build/aseview"
    (cd "$build_dir/smoke" && cmake -E tar xf "$zip")
    windows_dir=$build_dir/smoke/$(basename "$zip" .zip)
    run_viewer "$windows_dir" /usr/lib/wine/wine64 "$windows_dir/aseview.exe"
    for dump in dump.txt norm.txt vnorml.txt; do
        same_but_crlf "$windows_dir/$dump" "$linux_dir/$dump"
    done
    same_but_crlf "$windows_dir.out" "$linux_dir.out"
    smoke_summary="smoke: the zip's aseview.exe showed its window; its dumps and console lines are"
    smoke_summary+=" the Linux viewer's apart from CR LF; q ended it with status 1"
}

# The wine path of a file of this machine, through wine's drive Z:.
wine_path() {
    local path=$1
    printf 'Z:%s' "${path//\//\\}"
}

# `text` must stand whole on one line of `file`, that line ending in CR LF.
has_line() {
    local file=$1 text=$2
    grep -qxF "$text"$'\r' "$file" || fail "no line \"$text\" in $file: $(cat "$file")"
}

# The zip's viewer on models in a folder named with Cyrillic and CJK letters,
# a space, "&" and "!", which the ANSI code page of LANG=C.UTF-8 cannot hold:
# from the command line there, running in that folder (its map, its dumps),
# and through the launcher, from a second copy of the zip, read-only, in such
# a folder too. Then a multi-mesh model through the launcher, and the
# launcher's failure, which waits for a key.
unicode_paths() {
    local folder=$build_dir/smoke/"модели 文 & !" unpacked=$build_dir/smoke/"только чтение & !"
    local windows_dir=$build_dir/smoke/$(basename "$zip" .zip)
    local model missing launcher local_app_data work_folder before dump status
    mkdir -p "$folder" "$unpacked"
    cp "$project_root/assets/simple.ase" "$folder/модель.ase"
    cp "$project_root/assets/map2.tga" "$folder/"
    cp "$project_root/tests/fixtures/real/cafu-box1a.ase" "$folder/ящик 箱.ase"
    model=$(wine_path "$folder/модель.ase")
    missing=$(wine_path "$folder/нет.ase")

    run_viewer "$folder" /usr/lib/wine/wine64 "$windows_dir/aseview.exe" -m "$model"
    has_line "$folder.out" "Model to load = $model"
    # The map is read from that folder: a failure to read it would be a line of aseview's.
    ! grep -q '^aseview:' "$folder.err" || fail "the viewer in $folder complained: $(cat "$folder.err")"
    for dump in dump.txt norm.txt vnorml.txt; do
        same_but_crlf "$folder/$dump" "$build_dir/smoke/linux/$dump"
    done
    status=0
    /usr/lib/wine/wine64 "$windows_dir/aseview.exe" -m "$missing" >"$folder.missing" 2>&1 || status=$?
    [ "$status" -eq 1 ] || fail "a missing model ended the viewer with status $status, not 1"
    has_line "$folder.missing" "aseview: cannot open \"$missing\": No such file or directory"
    # Named without -m, in a folder without simple.ase: the hint shows the way to view it.
    (cd "$build_dir/smoke" && /usr/lib/wine/wine64 "$windows_dir/aseview.exe" "$model") \
        >"$folder.ignored" 2>&1 || true
    grep -qF "(to view $model: aseview -m '$model')" "$folder.ignored" ||
        fail "no hint to view $model: $(cat "$folder.ignored")"

    (cd "$unpacked" && cmake -E tar xf "$zip")
    unpacked=$unpacked/$(basename "$zip" .zip)
    # Started from its folder, as `cmd /c` with two quoted words would take
    # the quotes off the first (Explorer puts the whole line in quotes).
    launcher=open-with-aseview.cmd
    chmod -R a-w "$unpacked"
    before=$(find "$unpacked" -printf '%p %s %T@\n' | sort)
    local_app_data=$(/usr/lib/wine/wine64 cmd /c echo %LOCALAPPDATA% | tr -d '\r')
    work_folder=$(/usr/lib/wine/wine64 winepath -u "$local_app_data\\aseview" | tr -d '\r')
    rm -rf "$work_folder"
    run_viewer "$unpacked" /usr/lib/wine/wine64 cmd /c "$launcher" "$model"
    has_line "$unpacked.out" "Model to load = $model"
    for dump in dump.txt norm.txt vnorml.txt; do
        same_but_crlf "$work_folder/$dump" "$build_dir/smoke/linux/$dump"
    done
    cmp -s "$work_folder/map2.tga" "$project_root/assets/map2.tga" ||
        fail "the launcher did not copy the map into $work_folder"
    # Wine shows a file's read-only mark as a mode without write permission.
    [[ $(stat -c %A "$work_folder/map2.tga") == -rw* ]] ||
        fail "the launcher's copy of the map is read-only, as the zip's folder is"
    ! grep -q "Press any key" "$unpacked.out" ||
        fail "the launcher waited for a key after q: $(cat "$unpacked.out")"

    status=0
    (cd "$unpacked" && exec /usr/lib/wine/wine64 cmd /c "$launcher" "$missing") </dev/null \
        >"$folder.launcher-missing" 2>&1 || status=$?
    [ "$status" -eq 1 ] || fail "the launcher on a missing model ended with status $status, not 1"
    has_line "$folder.launcher-missing" "aseview: cannot open \"$missing\": No such file or directory"
    grep -q "Press any key" "$folder.launcher-missing" ||
        fail "the launcher did not wait for a key after a failure: $(cat "$folder.launcher-missing")"
    [ "$(find "$unpacked" -printf '%p %s %T@\n' | sort)" = "$before" ] ||
        fail "the launcher changed its own folder $unpacked"

    run_viewer "$unpacked" /usr/lib/wine/wine64 cmd /c "$launcher" "$(wine_path "$folder/ящик 箱.ase")"
    # The launcher removes dump.txt first: this one is the multi-mesh model's.
    [ -s "$work_folder/dump.txt" ] || fail "no dump of the multi-mesh model in $work_folder"
    chmod -R u+w "$unpacked"
    unicode_summary="Unicode paths: a model in \"$(basename "$folder")\" opened from the command line and"
    unicode_summary+=" through the launcher (read-only folder), its path printed in UTF-8; a failure"
    unicode_summary+=" waited for a key; the multi-mesh cafu-box1a.ase opened through the launcher"
}

started=$SECONDS
install_missing_packages "${packages[@]}"
build_dependencies
build_project
check_imports "$build_dir/aseview.exe"
check_imports "$build_dir/tests/unit_tests.exe"
build_seconds=$((SECONDS - started))

# A read-only copy of the zip that an interrupted run left can be removed again.
chmod -R u+w "$build_dir/smoke" 2>/dev/null || true
rm -rf "$build_dir/smoke"
mkdir -p "$build_dir/smoke"
start_display
start_wine
run_unit_tests
make_zip
smoke
unicode_paths

echo "build: $build_seconds s; $unit_summary"
echo "$smoke_summary"
echo "$unicode_summary"
echo "$zip_summary"
echo "windows: all passed in $((SECONDS - started)) s"

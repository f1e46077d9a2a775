#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs them for a
# number of seconds each on their corpora, which grow from run to run:
#   tools/fuzz.sh ase|tga|scanner|image|all SECONDS [more libFuzzer options]
# One target runs in the foreground; "all" runs the four side by side, one
# per core, with their output in build-fuzz/fuzz-logs/ and libFuzzer's final
# figures printed at the end. The seeds are written afresh by fuzz_seeds;
# inputs that crash, leak or hang are kept as build-fuzz/fuzz-artifacts/
# TARGET-*. The status is non-zero when any target found something.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
all_targets=(ase tga scanner image)

if [ $# -lt 2 ]; then
    echo "usage: $0 ase|tga|scanner|image|all SECONDS [libFuzzer options]" >&2
    exit 2
fi
case "$1" in
    all) targets=("${all_targets[@]}") ;;
    ase | tga | scanner | image) targets=("$1") ;;
    *)
        echo "unknown fuzz target: $1 (ase, tga, scanner, image or all)" >&2
        exit 2
        ;;
esac
seconds=$2
shift 2
extra_options=("$@")

build_dir=${ASEVIEW_FUZZ_BUILD_DIR:-$project_root/build-fuzz}
seeds=$build_dir/fuzz-seeds
artifacts=$build_dir/fuzz-artifacts
logs=$build_dir/fuzz-logs

cmake -S "$project_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DASEVIEW_FUZZ=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]/%/_fuzz}" fuzz_seeds >/dev/null
"$build_dir/fuzz/fuzz_seeds" "$seeds"
mkdir -p "$artifacts" "$logs"

# The ASE target writes its dumps into a scratch directory under TMPDIR;
# memory-backed storage keeps that from slowing it down.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

run_target() {
    local target=$1 options
    options=(-max_total_time="$seconds" -print_final_stats=1
             -artifact_prefix="$artifacts/$target-")
    if [ -f "$project_root/fuzz/$target.dict" ]; then
        options+=(-dict="$project_root/fuzz/$target.dict")
    fi
    mkdir -p "$build_dir/fuzz-corpus/$target"
    "$build_dir/fuzz/${target}_fuzz" "${options[@]}" "${extra_options[@]}" \
        "$build_dir/fuzz-corpus/$target" "$seeds/$target"
}

if [ ${#targets[@]} -eq 1 ]; then
    run_target "${targets[0]}"
    exit
fi

# Side by side, at most one target per core.
failed=0
pids=()
names=()
finish_oldest() {
    local status=0
    wait "${pids[0]}" || status=$?
    local target=${names[0]}
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
    echo "== $target: $(grep -E '^(Done|stat::number_of_executed_units)' "$logs/$target.log" |
        tr '\n' ' ' || true)"
    grep -E '^#[0-9]+' "$logs/$target.log" | tail -n 1 || true
    if [ "$status" -ne 0 ]; then
        echo "== $target found a fault (status $status):"
        tail -n 60 "$logs/$target.log"
        failed=1
    fi
}
for target in "${targets[@]}"; do
    if [ ${#pids[@]} -ge "$(nproc)" ]; then
        finish_oldest
    fi
    run_target "$target" >"$logs/$target.log" 2>&1 &
    pids+=($!)
    names+=("$target")
done
while [ ${#pids[@]} -gt 0 ]; do
    finish_oldest
done
exit "$failed"

#!/usr/bin/env bash
# Builds and runs the benchmarks: the import against assimp's importer and a
# plain byte scan (throughput and peak memory), the three dumps against the
# previous fprintf writer, the frame rate, then the start-up from exec
# against assimp's import. Arguments go to the import benchmark (face counts,
# --reps N). The input files are generated once into build/bench-data/
# (about 1 GB for 2 million faces).
# With --quick first, every benchmark runs on the files of 10 and 200
# thousand faces only (about 100 MB), with few rounds: under a minute.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
quick=0
if [ "${1:-}" = --quick ]; then
    quick=1
    shift
fi
ASEVIEW_EXTRA_PACKAGES="libassimp-dev" "$project_root/tools/setup.sh"
cd "$project_root"
if ((quick)); then
    small_files=(10000 200000)
    build/bench/import_bench --reps 3 "${small_files[@]}" "$@"
    build/bench/dump_bench --reps 3 "${small_files[@]}"
    build/bench/frame_bench --seconds 1 "${small_files[@]}"
    build/bench/frame_bench --seconds 1 --materials "${small_files[@]}"
    build/bench/startup_bench --reps 3 "${small_files[@]}"
else
    build/bench/import_bench "$@"
    build/bench/dump_bench
    build/bench/frame_bench
    build/bench/frame_bench --materials
    build/bench/startup_bench
fi

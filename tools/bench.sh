#!/usr/bin/env bash
# Builds and runs the benchmarks: the import against assimp's importer and a
# plain byte scan (throughput and peak memory), the three dumps against the
# previous fprintf writer, the frame rate, then the start-up from exec
# against assimp's import. Arguments go to the import benchmark (face counts,
# --reps N). The input files are generated once into build/bench-data/
# (about 1 GB for 2 million faces).
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ASEVIEW_EXTRA_PACKAGES="libassimp-dev" "$project_root/tools/setup.sh" >/dev/null
cd "$project_root"
build/bench/import_bench "$@"
build/bench/dump_bench
build/bench/frame_bench
build/bench/startup_bench

#!/usr/bin/env bash
# GUI benchmark: a hex view scroll step with the grid's painting (core refresh +
# synchronous repaint) on the offscreen platform, Release build in its own tree.
# Usage: bench/run-gui.sh [steps]    (BUILD_DIR, BENCH_DIR, QT_QPA_PLATFORM override)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench-gui}
steps=${1:-4000}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=ON -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target gui_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-gui-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "machine: $(uname -r), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/gui_bench" "$work" "$steps"

#!/usr/bin/env bash
# Edit benchmark: one keystroke in the cell editor (commit, labels, page refresh,
# repaint of grid and editor) on the offscreen platform, Release build in its own tree.
# Usage: bench/run-edit.sh [keystrokes]    (BUILD_DIR, BENCH_DIR, QT_QPA_PLATFORM override)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench-gui}
keys=${1:-4000}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=ON -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target edit_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-edit-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "machine: $(uname -r), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/edit_bench" "$work" "$keys"

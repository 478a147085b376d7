#!/usr/bin/env bash
# Edit benchmark: one keystroke in the cell editor (commit, labels, page refresh,
# repaint of grid and editor) on the offscreen platform, Release build in its own tree.
# Usage: bench/run-edit.sh [keystrokes]    (BUILD_DIR, BENCH_DIR, QT_QPA_PLATFORM override)
source "$(dirname "$0")/common.sh"
keys=${1:-4000}
bench_build ON edit_bench
bench_workdir edit
echo "machine: $(uname -r), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/edit_bench" "$work" "$keys"

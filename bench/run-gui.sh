#!/usr/bin/env bash
# GUI benchmark: a hex view scroll step with the grid's painting (core refresh +
# synchronous repaint) on the offscreen platform, Release build in its own tree.
# Usage: bench/run-gui.sh [steps]    (BUILD_DIR, BENCH_DIR, QT_QPA_PLATFORM override)
source "$(dirname "$0")/common.sh"
steps=${1:-4000}
bench_build ON gui_bench
bench_workdir gui
echo "machine: $(uname -r), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/gui_bench" "$work" "$steps"

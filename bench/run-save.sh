#!/usr/bin/env bash
# Save benchmark: an 8 MiB image with every byte changed and an unchanged 1 GiB
# image saved against `cmp -l` of the same pair, and peak memory of a save of many
# changes against one change. Release build in its own tree; the files are deleted
# afterwards.
# Usage: bench/run-save.sh [changed-MiB] [unchanged-MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
source "$(dirname "$0")/common.sh"
changed=${1:-8}
unchanged=${2:-1024}
rounds=${3:-3}
bench_build OFF save_bench
bench_workdir save
echo "save benchmark: $(bench_machine) at $work, $(cmp --version | head -1)"
"$build/bin/save_bench" "$work" "$changed" "$unchanged" "$rounds"

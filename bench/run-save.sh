#!/usr/bin/env bash
# Save benchmark: an 8 MiB image with every byte changed and an unchanged 1 GiB
# image saved against `cmp -l` of the same pair, and peak memory of a save of many
# changes against one change. Release build in its own tree; the files are deleted
# afterwards.
# Usage: bench/run-save.sh [changed-MiB] [unchanged-MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}
changed=${1:-8}
unchanged=${2:-1024}
rounds=${3:-3}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target save_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-save-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "save benchmark: $(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}') at $work, $(cmp --version | head -1)"
"$build/bin/save_bench" "$work" "$changed" "$unchanged" "$rounds"

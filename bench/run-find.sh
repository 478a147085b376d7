#!/usr/bin/env bash
# Find benchmark: the find on the worker against a plain pread (1 MiB) + memmem
# loop over the same cached image, a 16-byte pattern at its end and the all-0xFF
# worst case; plus the memory the searches add. Release build in its own tree;
# the images are deleted afterwards.
# Usage: bench/run-find.sh [MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}
mib=${1:-1024}
rounds=${2:-5}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target find_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-find-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "find benchmark: $(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}') at $work"
"$build/bin/find_bench" "$work" "$mib" "$rounds"

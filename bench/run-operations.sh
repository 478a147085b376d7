#!/usr/bin/env bash
# Chip operations benchmark: program + verify of an 8 MiB image through the worker
# and the real driver library (simulated programmer, delays off) against the time
# inside the driver calls; flashrom's dummy programmer on the same image; peak
# memory of a 1 MiB against an 8 MiB image. Release build in its own tree; the
# temporary files are deleted afterwards.
# Usage: bench/run-operations.sh    (BUILD_DIR, BENCH_DIR override the places)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target operations_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-operations-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "operations benchmark: $(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}'), $(flashrom --version 2>/dev/null | head -1)"
"$build/bin/operations_bench" "$work"

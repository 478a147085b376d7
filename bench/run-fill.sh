#!/usr/bin/env bash
# Fill benchmark: a 64 MiB fill (8192-byte pieces, checksum over the whole work
# copy, page) against dd writing the same pieces into a copy of the same file.
# Release build in its own tree; the files are deleted afterwards.
# Usage: bench/run-fill.sh [MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}
mib=${1:-64}
rounds=${2:-7}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target fill_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-fill-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "fill benchmark: $(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}') at $work"
"$build/bin/fill_bench" "$work" "$mib" "$rounds"

#!/usr/bin/env bash
# Image benchmark: loading a cached 1 GiB file (copy + checksum) against cp to the
# same disk, the page refresh per page, and peak memory of a 1 GiB image paged end
# to end against an empty one. Release build in its own tree; the 1 GiB files are
# deleted afterwards.
# Usage: bench/run-image.sh [MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}
mib=${1:-1024}
rounds=${2:-5}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target image_bench >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-image-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "image benchmark: $(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}') at $work"
"$build/bin/image_bench" "$work" "$mib" "$rounds"

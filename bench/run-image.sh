#!/usr/bin/env bash
# Image benchmark: loading a cached 1 GiB file (copy + checksum) against cp to the
# same disk, the page refresh per page, and peak memory of a 1 GiB image paged end
# to end against an empty one. Release build in its own tree; the 1 GiB files are
# deleted afterwards.
# Usage: bench/run-image.sh [MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
source "$(dirname "$0")/common.sh"
mib=${1:-1024}
rounds=${2:-5}
bench_build OFF image_bench
bench_workdir image
echo "image benchmark: $(bench_machine) at $work"
"$build/bin/image_bench" "$work" "$mib" "$rounds"

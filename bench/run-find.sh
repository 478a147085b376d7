#!/usr/bin/env bash
# Find benchmark: the find on the worker against a plain pread (1 MiB) + memmem
# loop over the same cached image, a 16-byte pattern at its end and the all-0xFF
# worst case; plus the memory the searches add. Release build in its own tree;
# the images are deleted afterwards.
# Usage: bench/run-find.sh [MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
source "$(dirname "$0")/common.sh"
mib=${1:-1024}
rounds=${2:-5}
bench_build OFF find_bench
bench_workdir find
echo "find benchmark: $(bench_machine) at $work"
"$build/bin/find_bench" "$work" "$mib" "$rounds"

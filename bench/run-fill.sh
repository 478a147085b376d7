#!/usr/bin/env bash
# Fill benchmark: a 64 MiB fill (8192-byte pieces, checksum over the whole work
# copy, page) against dd writing the same pieces into a copy of the same file.
# Release build in its own tree; the files are deleted afterwards.
# Usage: bench/run-fill.sh [MiB] [rounds]    (BUILD_DIR, BENCH_DIR override the places)
source "$(dirname "$0")/common.sh"
mib=${1:-64}
rounds=${2:-7}
bench_build OFF fill_bench
bench_workdir fill
echo "fill benchmark: $(bench_machine) at $work"
"$build/bin/fill_bench" "$work" "$mib" "$rounds"

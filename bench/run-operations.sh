#!/usr/bin/env bash
# Chip operations benchmark: program + verify of an 8 MiB image through the worker
# and the real driver library (simulated programmer, delays off) against the time
# inside the driver calls; flashrom's dummy programmer on the same image; peak
# memory of a 1 MiB against an 8 MiB image. Release build in its own tree; the
# temporary files are deleted afterwards.
# Usage: bench/run-operations.sh    (BUILD_DIR, BENCH_DIR override the places)
source "$(dirname "$0")/common.sh"
bench_build OFF operations_bench
bench_workdir operations
echo "operations benchmark: $(bench_machine), $(flashrom --version 2>/dev/null | head -1)"
"$build/bin/operations_bench" "$work"

#!/usr/bin/env bash
# Command-line tool benchmark: `xjqt-tarlo write` of an 8 MiB image against the
# window core's erase + program + verify, and `--all` over eight simulated
# programmers against one. Release build in its own tree; the temporary files are
# deleted afterwards.
# Usage: bench/run-cli.sh [rounds]    (BUILD_DIR, BENCH_DIR override the places)
source "$(dirname "$0")/common.sh"
bench_build OFF cli_bench xjqt-tarlo
bench_workdir cli
echo "cli benchmark: $(bench_machine)"
"$build/bin/cli_bench" "$work" "${1:-5}"

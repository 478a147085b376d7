#!/usr/bin/env bash
# Command-line tool benchmark: `xjqt-tarlo write` of an 8 MiB image against the
# window core's erase + program + verify, and `--all` over eight simulated
# programmers against one. Release build in its own tree; the temporary files are
# deleted afterwards.
# Usage: bench/run-cli.sh [rounds]    (BUILD_DIR, BENCH_DIR override the places)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target cli_bench xjqt-tarlo >/dev/null

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-cli-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "cli benchmark: $(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}')"
"$build/bin/cli_bench" "$work" "${1:-5}"

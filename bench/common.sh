# Sourced by the bench/run-*.sh scripts: the Release build of the benchmark
# targets in a tree of its own (BUILD_DIR overrides it), a temporary work
# directory (under BENCH_DIR or TMPDIR) removed at exit, and the machine line.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bench_build() {  # ON|OFF (the window), targets...
  local gui=$1
  shift
  local tree=$top/build-bench
  [[ $gui == ON ]] && tree=$top/build-bench-gui
  build=${BUILD_DIR:-$tree}
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI="$gui" -DFLASH_BUILD_TESTS=ON >/dev/null
  cmake --build "$build" -j2 --target "$@" >/dev/null
}

bench_workdir() {  # name
  work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/flash-$1-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

bench_machine() {  # the kernel, the cores and the work directory's file system
  echo "$(uname -r), $(nproc) cores, $(df -hT "$work" | awk 'NR==2 {print $2}')"
}

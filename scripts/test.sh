#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a plain build (optimised
# as users get it, with assertions kept), then AddressSanitizer+UBSan over all
# tests, then ThreadSanitizer over the Qt-free tests (Debian's Qt is not built
# for ThreadSanitizer), then each fuzz target for a few seconds over its corpus.
# Usage: test.sh [--quick]   (--quick: the plain build only)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$top/scripts/install-deps.sh"

# Every source file is in the repository's .clang-format style.
"$top/scripts/check-format.sh"

# The chip database keeps its format (the checker's own tests first).
python3 "$top/tests/scripts/check-chipdb-test.py"
python3 "$top/scripts/check-chipdb.py" "$top/driver/data/chipdb.txt" | grep -v ": warning:"

# Includes run one way, as the table in check-layers.sh allows.
"$top/scripts/check-layers.sh"

run_tree() {  # name, ctest args, cmake args...
  local name=$1 ctest_args=$2; shift 2
  local dir="$top/build-$name"
  echo "=== $name: configure and build"
  cmake -S "$top" -B "$dir" -DFLASH_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  echo "=== $name: tests"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs" $ctest_args)
}

export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

run_tree test "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLASH_KEEP_ASSERTS=ON
# The package from the plain tree: its layout, then the installed tool run once
# from a scratch root by a new user.
echo "=== package: build, check the layout, run from a scratch root"
deb=$("$top/scripts/package.sh" "$top/build-test" | tail -n 1)
"$top/scripts/check-package.sh" "$deb"
"$top/scripts/try-package.sh" "$deb"
if [[ "${1:-}" != "--quick" ]]; then
  run_tree asan "" -DCMAKE_BUILD_TYPE=Debug -DFLASH_SANITIZE=address
  run_tree tsan "-L core" -DCMAKE_BUILD_TYPE=Debug -DFLASH_SANITIZE=thread -DFLASH_BUILD_GUI=OFF
  # A smoke run: the committed corpus (every input that once found a fault) and a little more.
  "$top/scripts/fuzz.sh" 5
fi
echo "=== all tests passed"

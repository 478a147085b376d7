#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them
# for SECONDS over its committed seed corpus (fuzz/corpus/<target>), which also
# holds every input that once found a fault. New inputs go to
# build-fuzz/corpus/<target>, crashes to build-fuzz/crashes/<target>/.
# Usage: fuzz.sh [SECONDS] [TARGET...]   (default 60 seconds, every target)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(product_data_fuzzer simulator_config_fuzzer display_path_fuzzer driver_transfer_fuzzer)
fi
dir="$top/build-fuzz"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "=== fuzz: configure and build"
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLASH_KEEP_ASSERTS=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DFLASH_FUZZ=ON -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in "${targets[@]}"; do
  name=${target%_fuzzer}
  seeds="$top/fuzz/corpus/$name"
  found="$dir/corpus/$name"
  crashes="$dir/crashes/$name"
  mkdir -p "$found" "$crashes"
  dict=()
  if [[ -f "$top/fuzz/$name.dict" ]]; then dict=(-dict="$top/fuzz/$name.dict"); fi
  echo "=== fuzz: $target for ${seconds}s"
  log="$dir/$name.log"
  # Inside the tree, so files a target makes in its current directory stay there.
  if ! (cd "$dir" && "$dir/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "${dict[@]}" "$found" "$seeds" >"$log" 2>&1); then
    tail -n 60 "$log" >&2
    echo "=== fuzz: $target found a fault; the input is in $crashes/" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" || true
done
echo "=== fuzz: no target found a fault"

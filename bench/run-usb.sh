#!/usr/bin/env bash
# USB programmer benchmark: modelled times of erase, program, verify, read and
# auto of an 8 MiB chip over the emulated CH341A and CH347, against the time the
# SPI clock and the chip need. Release build in its own tree.
# Usage: bench/run-usb.sh    (BUILD_DIR overrides the build tree)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-bench}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_GUI=OFF -DFLASH_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target usb_bench >/dev/null
"$build/bin/usb_bench"

#!/usr/bin/env bash
# USB programmer benchmark: modelled times of erase, program, verify, read, auto,
# a changed-only write of one sector and the chip's identification, for an 8 MiB
# chip over the emulated CH341A and CH347, against the time the SPI clock and the
# chip need and the targets. Release build in its own tree.
# Usage: bench/run-usb.sh    (BUILD_DIR overrides the build tree)
source "$(dirname "$0")/common.sh"
bench_build OFF usb_bench
"$build/bin/usb_bench"

#!/usr/bin/env bash
# Unpacks a built package into a scratch root and runs the installed tool as a
# new user would: from an empty directory, with a fresh HOME, first as installed
# (no programmer), then with the simulator chosen in the per-user
# velmor-sim.conf, writing and reading back an image by relative names.
# Usage: scripts/try-package.sh DEB
set -euo pipefail
deb=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
mkdir -p "$scratch/home" "$scratch/empty" "$scratch/run"
tool=$scratch/root/usr/bin/xjqt-tarlo
userdir=$scratch/home/.local/share/xjqt-tarlo
run() {
  (cd "$scratch/empty" && env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" \
    TMPDIR="$scratch/run" "$tool" "$@")
}
fail() {
  echo "try-package: $*" >&2
  exit 1
}

run --version | grep -q 'xjqt-tarlo' || fail "--version"
[[ -f "$userdir/XJQT.uc" && -f "$userdir/velmor-sim.conf" && -f "$userdir/sound/finishsound.wav" ]] ||
  fail "the per-user directory was not filled"
cmp -s "$userdir/XJQT.uc" "$scratch/root/usr/share/xjqt-tarlo/XJQT.uc" || fail "XJQT.uc differs from the installed one"

# As installed the configuration selects no simulator: only real programmers, and none here.
status=0
run detect >/dev/null 2>&1 || status=$?
[[ $status == 3 ]] || fail "detect without a programmer ended with $status, not 3"

printf 'backend = simulator\n' >>"$userdir/velmor-sim.conf"
run detect >/dev/null || fail "detect with the simulator"
head -c 1048576 /dev/urandom >"$scratch/empty/image.bin"
run write image.bin >/dev/null 2>&1 || fail "write image.bin"
run read back.bin >/dev/null 2>&1 || fail "read back.bin"
cmp -s "$scratch/empty/image.bin" "$scratch/empty/back.bin" || fail "the chip read back differs from the image written"
[[ -f "$userdir/velmor-sim-chip.bin" ]] || fail "the simulated chip does not live in the per-user directory"
leftovers=$(ls -A "$scratch/empty" | grep -vxE 'image.bin|back.bin' || true)
[[ -z $leftovers ]] || fail "work files left in the start directory: $leftovers"
echo "try-package: the installed tool works from an empty directory with a fresh HOME"

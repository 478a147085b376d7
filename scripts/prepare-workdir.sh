#!/usr/bin/env bash
# Prepares a work directory for the program: product data file, wave files,
# manual and a commented configuration of the simulated programmer.
# Usage: prepare-workdir.sh BUILD_DIR WORK_DIR [SERIAL]
set -euo pipefail

build_dir=$(realpath "$1")
work_dir=$2
serial=${3:-TARLO-2026-0001}
top=$(cd "$(dirname "$0")/.." && pwd)

mkdir -p "$work_dir/sound"
work_dir=$(realpath "$work_dir")

if [[ ! -f "$work_dir/XJQT.uc" ]]; then
  "$build_dir/bin/make_product_data" "$work_dir/XJQT.uc" "$serial"
fi
cp "$top"/src/resources/sound/*.wav "$work_dir/sound/"

manual="$work_dir/XJQT_Tarlo Flash编程器用户手册.chm"
if command -v chmcmd >/dev/null 2>&1; then
  tmp=$(mktemp -d)
  cp "$top"/docs/manual/* "$tmp/"
  (cd "$tmp" && chmcmd manual.hhp >/dev/null 2>&1)
  cp "$tmp/manual.chm" "$manual"
  rm -rf "$tmp"
fi
mkdir -p "$work_dir/manual"
cp "$top"/docs/manual/*.html "$work_dir/manual/"

# The work directory drives the simulated programmer; without the configuration
# the library would look for real CH341A/CH347 programmers only.
conf="$work_dir/velmor-sim.conf"
if [[ ! -f "$conf" ]]; then
  cp "$top/driver/velmor-sim.conf.example" "$conf"
elif ! grep -qiE '^[[:space:]]*backend[[:space:]]*=' "$conf"; then
  printf '\nbackend = simulator\n' >>"$conf"
fi
echo "$work_dir"

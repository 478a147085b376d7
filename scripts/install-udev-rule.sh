#!/usr/bin/env bash
# Installs the udev rule that lets the user at the seat reach CH341A and CH347
# programmers without root, and applies it to programmers already plugged in.
# Usage: scripts/install-udev-rule.sh [--remove]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
rule=60-velmor.rules
target=/etc/udev/rules.d/$rule

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi

if [[ "${1:-}" == "--remove" ]]; then
  $sudo rm -f "$target"
  done_what=removed
else
  $sudo install -m 0644 "$top/driver/udev/$rule" "$target"
  done_what=installed
fi
if command -v udevadm >/dev/null 2>&1; then
  $sudo udevadm control --reload-rules || true
  $sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=1a86 || true
fi
echo "$done_what: $target"

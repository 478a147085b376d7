#!/usr/bin/env bash
# Installs what is missing, builds the program and the simulated programmer's
# driver library, prepares a work directory and starts the program in it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FLASH_BUILD_DIR:-$top/build}

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
work=$("$top/scripts/prepare-workdir.sh" "$build" "$build/work")

cd "$work"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found: starting the program on a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/xjqt_tarlo"
fi
exec "$build/bin/xjqt_tarlo"

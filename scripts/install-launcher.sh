#!/usr/bin/env bash
# Adds a desktop launcher that starts the program (built by scripts/run.sh) in its
# work directory.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FLASH_BUILD_DIR:-$top/build}
[[ -x "$build/bin/xjqt_tarlo" ]] || { echo "Build first: scripts/run.sh" >&2; exit 1; }
work=$("$top/scripts/prepare-workdir.sh" "$build" "$build/work")

apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
icons="${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor/scalable/apps"
mkdir -p "$apps" "$icons"
cp "$top/src/resources/icons/app.svg" "$icons/xjqt-tarlo.svg"
cat > "$apps/xjqt-tarlo.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=XJQT_Tarlo Flash编程器
Comment=25系列SPI Flash芯片编程器
Exec=sh -c 'cd "$work" && exec "$build/bin/xjqt_tarlo"'
Path=$work
Icon=xjqt-tarlo
Terminal=false
Categories=Development;Electronics;
DESKTOP
echo "Launcher written to $apps/xjqt-tarlo.desktop"

#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  qt6-base-dev qt6-multimedia-dev libqt6svg6 qt6-translations-l10n
  libudev-dev libusb-1.0-0-dev
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev googletest
  fonts-wqy-microhei
  fp-utils
  xvfb xauth imagemagick
  dpkg-dev fakeroot appstream desktop-file-utils binutils
  clang libclang-rt-14-dev clang-format-14
)
# Benchmarks compare against flashrom's dummy programmer.
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(flashrom time)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

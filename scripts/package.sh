#!/usr/bin/env bash
# Builds the Debian package dist/xjqt-tarlo_<version>_<arch>.deb: the install of
# the CMake project under /usr, with dependencies computed from the binaries.
# Usage: scripts/package.sh [BUILD_DIR]
#   BUILD_DIR: a configured build tree to reuse (CI passes its test tree);
#   default build-package, a Release tree made here.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-package}
package=xjqt-tarlo

"$top/scripts/install-deps.sh"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFLASH_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target xjqt_tarlo xjqt-tarlo velmor product_data

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root

DESTDIR=$root cmake --install "$build" --prefix /usr --strip >/dev/null
# Debian keeps manual pages compressed.
gzip -9n "$root"/usr/share/man/man1/*.1

# dpkg-shlibdeps wants a debian/control to stand in.
mkdir -p "$stage/debian" "$root/DEBIAN"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$stage/debian/control"
depends=$(cd "$stage" && dpkg-shlibdeps -O -l"$root/usr/lib/xjqt-tarlo" \
  -e"$root/usr/bin/xjqt_tarlo" -e"$root/usr/bin/xjqt-tarlo" -e"$root/usr/lib/xjqt-tarlo/libvelmor.so" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
# The SVG icons need Qt's image plugin, which no binary names (the X11 platform and
# sound plugins come with libqt6gui6 and libqt6multimedia6, which they do name).
depends="$depends, libqt6svg6"
installed_size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)

cat >"$root/DEBIAN/control" <<CONTROL
Package: $package
Version: $version
Architecture: $arch
Maintainer: XJQT_Tarlo developers <xjqt-tarlo@localhost>
Installed-Size: $installed_size
Depends: $depends
Recommends: fonts-wqy-microhei | fonts-noto-cjk, bash-completion
Section: electronics
Priority: optional
Description: programmer for 25-series SPI NOR flash chips (Chinese interface)
 Reads, erases, blank-checks, programs and verifies 25-series SPI NOR flash
 chips on CH341A and CH347 USB programmers, or on a simulated programmer.
 The window program xjqt_tarlo shows and edits images as a hex dump; the
 command-line tool xjqt-tarlo runs the same operations for scripts.
CONTROL

cat >"$root/DEBIAN/postinst" <<'POSTINST'
#!/bin/sh
set -e
# Programmers already plugged in get the new access rule at once.
if [ "$1" = configure ] && command -v udevadm >/dev/null 2>&1; then
  udevadm control --reload-rules || true
  udevadm trigger --subsystem-match=usb --attr-match=idVendor=1a86 || true
fi
POSTINST
cat >"$root/DEBIAN/postrm" <<'POSTRM'
#!/bin/sh
set -e
if [ "$1" = remove ] && command -v udevadm >/dev/null 2>&1; then
  udevadm control --reload-rules || true
fi
POSTRM
chmod 0755 "$root/DEBIAN/postinst" "$root/DEBIAN/postrm"

mkdir -p "$top/dist"
deb=$top/dist/${package}_${version}_${arch}.deb
fakeroot dpkg-deb --build -Zxz "$root" "$deb" >/dev/null
echo "$deb"

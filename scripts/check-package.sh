#!/usr/bin/env bash
# Checks a built package against the expected layout (packaging/expected-files.txt):
# the file list, the programs' run path, the dependencies, the udev rule and its
# reload on install, and the desktop and AppStream data.
# Usage: scripts/check-package.sh DEB
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deb=$1
failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}

expected=$(mktemp)
actual=$(mktemp)
unpacked=$(mktemp -d)
trap 'rm -rf "$expected" "$actual" "$unpacked"' EXIT

while IFS= read -r line; do
  case $line in
    '' | '#'*) ;;
    '? '*)
      read -r _ path source <<<"$line"
      if [[ -e "$top/$source" ]]; then echo "$path"; fi
      ;;
    @manual)
      for page in "$top"/docs/manual/*.html; do echo "/usr/share/xjqt-tarlo/manual/$(basename "$page")"; done
      ;;
    *) echo "$line" ;;
  esac
done <"$top/packaging/expected-files.txt" | sort >"$expected"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '^/$' | sort >"$actual"
if ! diff -u "$expected" "$actual"; then fail "file list differs (- expected, + package)"; fi

dpkg-deb -x "$deb" "$unpacked"
dpkg-deb -e "$deb" "$unpacked/DEBIAN"

# Owned by root; programs and the library executable, data not.
if dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep -q .; then fail "entries not owned by root"; fi
for f in usr/bin/xjqt-tarlo usr/bin/xjqt_tarlo; do
  [[ -x "$unpacked/$f" ]] || fail "$f is not executable"
  runpath=$(readelf -d "$unpacked/$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [[ $runpath == '$ORIGIN/../lib/xjqt-tarlo' ]] || fail "$f run path is '$runpath'"
done
for f in usr/share/xjqt-tarlo/XJQT.uc usr/lib/udev/rules.d/60-velmor.rules usr/share/applications/xjqt-tarlo.desktop; do
  mode=$(stat -c %a "$unpacked/$f")
  [[ $mode == 644 ]] || fail "$f has mode $mode"
done

control=$unpacked/DEBIAN/control
name=$(basename "$deb")
version=$(sed -n 's/^Version: //p' "$control")
arch=$(sed -n 's/^Architecture: //p' "$control")
[[ $name == "xjqt-tarlo_${version}_${arch}.deb" ]] || fail "file name $name does not carry version and architecture"
depends=$(sed -n 's/^Depends: //p' "$control")
for needed in libc6 libqt6widgets6 libqt6multimedia6 libusb-1.0-0 libqt6svg6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

rule=$unpacked/usr/lib/udev/rules.d/60-velmor.rules
for product in 5512 55db 55de; do
  grep -q "ATTRS{idProduct}==\"$product\".*TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"plugdev\"" "$rule" ||
    fail "udev rule for 1a86:$product lacks uaccess, mode or group"
done
grep -q 'udevadm control --reload-rules' "$unpacked/DEBIAN/postinst" || fail "postinst does not reload the udev rules"

grep -qx 'Exec=xjqt_tarlo' "$unpacked/usr/share/applications/xjqt-tarlo.desktop" || fail "desktop entry Exec"
grep -qx 'Icon=xjqt-tarlo' "$unpacked/usr/share/applications/xjqt-tarlo.desktop" || fail "desktop entry Icon"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$unpacked/usr/share/applications/xjqt-tarlo.desktop" || fail "desktop entry invalid"
fi
metainfo=$unpacked/usr/share/metainfo/io.github.xjqt.tarlo.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"
appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli rejects the metainfo"
# The shipped product data file must pass the programs' integrity check; the
# scratch run checks that, here it must at least not be empty.
[[ -s "$unpacked/usr/share/xjqt-tarlo/XJQT.uc" ]] || fail "XJQT.uc is empty"
grep -qE '^[[:space:]]*backend[[:space:]]*=' "$unpacked/usr/share/xjqt-tarlo/velmor-sim.conf" &&
  fail "the installed velmor-sim.conf selects a programmer"

if ((failures > 0)); then
  echo "check-package: $failures problem(s) in $deb" >&2
  exit 1
fi
echo "check-package: $deb has the expected layout"

#!/usr/bin/env bash
# Fails when a C or C++ source file is not in the repository's .clang-format style.
# Usage: check-format.sh [--fix]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
tool=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files -- 'src/*' 'driver/*' 'tests/*' 'bench/*' 'fuzz/*' 'utilities/*' |
  grep -E '\.(c|cc|cpp|h|hpp)$')
if [[ "${1:-}" == "--fix" ]]; then
  "$tool" -i "${files[@]}"
  exit 0
fi
if ! "$tool" --dry-run --Werror "${files[@]}" 2>/tmp/check-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/check-format.$$ | cut -d: -f1 | sort -u >&2
  rm -f /tmp/check-format.$$
  echo "=== format: the files above are not in .clang-format style (scripts/check-format.sh --fix)" >&2
  exit 1
fi
rm -f /tmp/check-format.$$

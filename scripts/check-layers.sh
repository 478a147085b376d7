#!/usr/bin/env bash
# Fails when a file under src/ includes a folder its own folder may not use.
# Includes run one way, from the front ends down to the ports; the table below
# is the whole list of allowed edges between the folders of src/ (a folder may
# always include itself), and it must itself stay free of circles.
# Usage: check-layers.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# folder: the folders it may include
allowed="
app:        cli device hexview image operations platform ports tools widgets
cli:        device image operations platform ports
tools:      device hexview image operations platform ports widgets
hexview:    image operations platform ports widgets
operations: device image platform ports widgets
device:     platform ports
image:      platform ports
widgets:    platform ports
platform:   ports
ports:
resources:
"

python3 - "$allowed" <<'PY'
import os, re, sys

table = {}
for line in sys.argv[1].strip().splitlines():
    folder, _, below = line.partition(":")
    table[folder.strip()] = set(below.split())

# The table itself runs one way: no folder reaches itself through others.
def reaches(start):
    seen, todo = set(), list(table.get(start, ()))
    while todo:
        f = todo.pop()
        if f in seen:
            continue
        seen.add(f)
        todo.extend(table.get(f, ()))
    return seen
bad = [f for f in table if f in reaches(f)]
if bad:
    print("=== layers: the table has a circle through " + ", ".join(sorted(bad)), file=sys.stderr)
    sys.exit(1)

include = re.compile(r'^\s*#\s*include\s*[<"]([A-Za-z_]+)/')
folders = set(os.listdir("src"))
failures = []
for root, _, files in os.walk("src"):
    for name in sorted(files):
        if not name.endswith((".h", ".cpp")):
            continue
        path = os.path.join(root, name)
        own = path.split(os.sep)[1]
        with open(path, encoding="utf-8") as f:
            for number, text in enumerate(f, 1):
                m = include.match(text)
                if not m or m.group(1) not in folders or m.group(1) == own:
                    continue
                if own not in table:
                    failures.append(f"{path}:{number}: folder {own} is not in the layer table")
                elif m.group(1) not in table[own]:
                    failures.append(f"{path}:{number}: {own} may not include {m.group(1)}/")
for failure in sorted(failures):
    print(failure, file=sys.stderr)
if failures:
    print("=== layers: the includes above break the layer table (scripts/check-layers.sh)", file=sys.stderr)
    sys.exit(1)
PY

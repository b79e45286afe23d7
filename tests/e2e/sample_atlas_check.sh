#!/usr/bin/env bash
# Generates the full-size sample atlas, loads it the way the program does (unpacking included), and
# renders a section along each axis.
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" make-sample-data "$work/Data" >/dev/null
"$tool" atlas check "$work/Data" --atlas-dir "$work/Atlas" --json > "$work/check.json"
grep -q '"problems": \[\]' "$work/check.json" || { cat "$work/check.json"; exit 1; }
for axis in x y z; do
  "$tool" atlas slice "$work/Data" --axis $axis --out "$work/slice-$axis.png" >/dev/null
  [ -s "$work/slice-$axis.png" ]
done
echo "sample atlas: generated, checked and sliced"

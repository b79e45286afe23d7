#!/usr/bin/env bash
# The main job for now: builds the tool, generates the sample atlas into out/Data, loads and checks
# it the way the program does (unpacking into out/Atlas), and renders a section along each axis.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target volumira-tool
tool=build/tools/volumira-tool
mkdir -p out
[ -f out/Data/ontology.csv ] || $tool make-sample-data out/Data
$tool atlas check out/Data --atlas-dir out/Atlas
$tool atlas plate 60 30 40 --data out/Data --atlas-dir out/Atlas
$tool atlas slice out/Data --axis x --position 57 --out out/coronal.png
$tool atlas slice out/Data --axis y --position 28 --out out/horizontal.png
$tool atlas slice out/Data --axis z --position 50 --out out/sagittal.png
echo "Done: sections of the sample atlas are in out/coronal.png, out/horizontal.png and out/sagittal.png"

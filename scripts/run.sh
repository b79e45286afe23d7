#!/usr/bin/env bash
# The main job for now: builds the tool and takes a full-size 528 x 320 x 456 volume at 25 µm
# through every volume command, leaving the files and slice pictures in out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target volumira-tool
tool=build/tools/volumira-tool
dims=(--dims 528 320 456 --spacing 25)
mkdir -p out
$tool volume phantom out/Atlas25 "${dims[@]}"
$tool volume info out/Atlas25 "${dims[@]}"
$tool volume compress out/Atlas25 out/Atlas25.comp "${dims[@]}"
$tool volume info out/Atlas25.comp "${dims[@]}"
$tool volume decompress out/Atlas25.comp out/Atlas25.roundtrip "${dims[@]}"
$tool volume compare out/Atlas25 out/Atlas25.roundtrip "${dims[@]}"
for axis in x y z; do
  $tool volume slice out/Atlas25 --axis $axis --out out/slice-$axis.png "${dims[@]}"
  $tool volume slice out/Atlas25.comp --axis $axis --out out/slice-$axis-comp.png "${dims[@]}"
done
echo "Done: the slices of the raw volume and of its slice-compressed copy are in out/slice-*.png"

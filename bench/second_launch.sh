#!/usr/bin/env bash
# A second launch with a file hands it to the running window and exits. Times ten such launches against a
# running viewer on the sample Data. Usage: bench/second_launch.sh DATA_DIR GENE.xpr WORK_DIR
# Needs DISPLAY (bench/run.sh starts a private Xvfb). Goal: each launch ends within 0.2 s.
set -euo pipefail
data=$1 gene=$2 work=$3
viewer=./build/src/app/volumira
mkdir -p "$work/atlas" "$work/runtime" && chmod 700 "$work/runtime"
export VOLUMIRA_DATA_DIR="$data" VOLUMIRA_ATLAS_DIR="$work/atlas" XDG_RUNTIME_DIR="$work/runtime"
"$viewer" >"$work/first.log" 2>&1 &
first=$!
trap 'kill "$first" 2>/dev/null; wait "$first" 2>/dev/null || true' EXIT
# The running instance listens once its window exists (after unpacking on a fresh atlas folder).
for _ in $(seq 600); do compgen -G "$work/runtime/volumira-*" >/dev/null && break; sleep 0.1; done
compgen -G "$work/runtime/volumira-*" >/dev/null || { echo "the viewer did not start" >&2; exit 1; }
times=()
for _ in $(seq 10); do
  start=$(date +%s%N)
  "$viewer" "$gene" >/dev/null 2>&1
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
median=$(( (sorted[4] + sorted[5]) / 2 ))
echo "second launch              ${median} ms median  (${times[*]})"
if (( median <= 200 )); then verdict=met; else verdict=MISSED; fi
echo "second launch            goal <= 200 ms  $verdict"

#!/usr/bin/env bash
# Builds the optimised tree and runs the benchmarks; extra arguments go to Google Benchmark.
# The machine should be otherwise idle: several of the figures are memory-bound.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target io_bench atlas_bench expression_bench render_bench scene_bench search_bench thumbnail_bench section_image_bench
work="${TMPDIR:-/tmp}/volumira-bench-$$"
trap 'rm -rf "$work"' EXIT
./build/bench/io_bench "$work/io" "$@"
./build/bench/atlas_bench "$work/atlas" "$@"
./build/bench/expression_bench "$work/expression" "$@"
./build/bench/render_bench "$work/render" "$@"
./build/bench/scene_bench "$work/scene" "$@"
./build/bench/search_bench "$@"
# The result page talks to a data server of its own on loopback and fetches with curl.
./build/bench/thumbnail_bench "$work/thumbnail" "$@"
# The section image panel too, against curl and libjpeg on the same tiles.
./build/bench/section_image_bench "$work/section-image" "$@"
# The main window needs an X server: a private Xvfb whose screen holds a 1280 x 800 data view with the
# frame around it, and a throw-away HOME for the caches Mesa and Qt write.
cmake --build --preset default --target window_bench
(
  mkdir -p "$work/window/home"
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/window/display" 2>"$work/window/xvfb.log" &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [[ -s "$work/window/display" ]] && break; sleep 0.1; done
  [[ -s "$work/window/display" ]] || { echo "Xvfb did not start:" >&2; cat "$work/window/xvfb.log" >&2; exit 1; }
  home="$work/window/home"
  mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
  DISPLAY=":$(head -n1 "$work/window/display")" HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" \
    ./build/bench/window_bench "$work/window"
  # A later launch hands its file to the running viewer, which need not be able to read it for the timing.
  cmake --build --preset default --target volumira
  gene="$work/window/Gene.xpr"
  if [[ -f out/Gad1.xpr ]]; then cp out/Gad1.xpr "$gene"; else : > "$gene"; fi
  DISPLAY=":$(head -n1 "$work/window/display")" HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" \
    bench/second_launch.sh "$work/window/Data/" "$gene" "$work/launch"
)

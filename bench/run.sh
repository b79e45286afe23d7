#!/usr/bin/env bash
# Builds the optimised tree and runs the benchmarks; extra arguments go to Google Benchmark.
# The machine should be otherwise idle: several of the figures are memory-bound.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target io_bench atlas_bench expression_bench render_bench scene_bench search_bench
work="${TMPDIR:-/tmp}/volumira-bench-$$"
trap 'rm -rf "$work"' EXIT
./build/bench/io_bench "$work/io" "$@"
./build/bench/atlas_bench "$work/atlas" "$@"
./build/bench/expression_bench "$work/expression" "$@"
./build/bench/render_bench "$work/render" "$@"
./build/bench/scene_bench "$work/scene" "$@"
./build/bench/search_bench "$@"

#!/usr/bin/env bash
# Builds the optimised tree and runs the benchmarks; extra arguments go to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target io_bench
./build/bench/io_bench "${TMPDIR:-/tmp}/volumira-bench-$$" "$@"

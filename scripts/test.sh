#!/usr/bin/env bash
# Installs what the build needs, builds, and runs every test: once optimised, once under
# AddressSanitizer + UndefinedBehaviorSanitizer; then the network tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in default asan; do
  echo "== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
# The transfer threads hand their reports to the UI thread and are cancelled from it: only the network
# tests are built for this run.
echo "== tsan (network)"
cmake --preset tsan
cmake --build --preset tsan --target net_tests
ctest --preset tsan -L '^net$'

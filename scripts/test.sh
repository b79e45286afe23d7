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
# The transfer threads hand their reports to the UI thread and are cancelled from it, and compressed
# volumes decode on several threads: only the network and volume tests are built for this run.
echo "== tsan (network, volumes)"
cmake --preset tsan
cmake --build --preset tsan --target net_tests io_tests
ctest --preset tsan -L '^net$'
ctest --preset tsan -R '^Image3d\.'

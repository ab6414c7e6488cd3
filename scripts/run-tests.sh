#!/usr/bin/env bash
# The whole test suite from scratch: installs the dependencies, then configures,
# builds and runs CTest for the default, asan and tsan presets.
#   scripts/run-tests.sh             default, asan and tsan
#   PRESETS="tsan" scripts/run-tests.sh   any list of presets
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

presets=${PRESETS:-"default asan tsan"}
for preset in $presets; do
  echo "=== preset $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$(nproc)"
  ctest --preset "$preset"
done

#!/usr/bin/env bash
# Installs python/ into a fresh venv the way the README tells users to
# (Debian's numpy, matplotlib, h5py and selenium through
# --system-site-packages; --no-build-isolation: no network) and runs the
# package's tests against that installed copy, with a build tree's library
# and simulator.
#   scripts/test-python-package.sh [BUILD_DIR]     (default build/default)
# The live view's screenshot is kept in BUILD_DIR/test-artifacts.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$repo/build/default}" && pwd)"
venv="$build/python-venv"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

rm -rf "$venv"
/usr/bin/python3 -m venv --system-site-packages "$venv"
# From a copy, so that the build leaves nothing behind in python/.
cp -r "$repo/python" "$work/source"
"$venv/bin/pip" install --quiet --no-build-isolation --no-index --no-deps "$work/source"

# Run from elsewhere so that only the installed package can be imported.
cd "$work"
VELTRANO_EXPECT_INSTALLED=1 VELTRANO_LIB="$build/src/libveltranoapi64.so" VELTRANO_SIM="$build/sim/veltrano-sim" \
VELTRANO_TEST_ARTIFACTS="$build/test-artifacts" MPLBACKEND=Agg PYTHONDONTWRITEBYTECODE=1 \
  "$venv/bin/python" -m unittest discover -s "$repo/python/tests" -t "$repo/python/tests"

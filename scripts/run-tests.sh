#!/usr/bin/env bash
# The whole test suite from scratch: installs the dependencies, then configures,
# builds and runs CTest for the default, asan, tsan and m32 presets (m32 is the
# 32-bit library with the whole suite built 32-bit; its export check compares
# with the default preset's library, so default runs first). Then every fuzz
# target runs for FUZZ_SECONDS seconds (default 30; 0 skips them) through
# scripts/fuzz.sh, two at a time (FUZZ_JOBS).
#   scripts/run-tests.sh             default, asan, tsan and m32, then fuzzing
#   PRESETS="tsan" scripts/run-tests.sh   any list of presets
#   FUZZ_SECONDS=0 scripts/run-tests.sh   no fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."

presets=${PRESETS:-"default asan tsan m32"}
case " $presets " in
  *" m32 "*) scripts/install-deps.sh --m32 ;;
  *) scripts/install-deps.sh ;;
esac

for preset in $presets; do
  echo "=== preset $preset"
  if [ "$preset" = m32 ] && ! dpkg-query -W -f='${Status}\n' libinih-dev:i386 g++-multilib 2>/dev/null \
       | grep -c "install ok installed" | grep -qx 2; then
    echo "=== preset m32: Debian could not install the i386 packages on this machine: not built, its tests are not run" >&2
    continue
  fi
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$(nproc)"
  if [ "$preset" = m32 ]; then
    # 126: the kernel refused to execute a 32-bit program (see install-deps.sh).
    status=0
    build/m32/tests/c_header_check >/dev/null 2>&1 || status=$?
    if [ "$status" -eq 126 ]; then
      echo "=== preset m32: built, but this machine runs no 32-bit programs: its tests are not run" >&2
      continue
    fi
  fi
  ctest --preset "$preset"
done

# The Python package installed into a venv, its tests run against that copy.
if [[ " $presets " == *" default "* ]]; then
  echo "=== Python package installed in a venv"
  scripts/test-python-package.sh build/default
fi

fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
  echo "=== fuzz targets, $fuzz_seconds s each"
  FUZZ_JOBS=${FUZZ_JOBS:-2} scripts/fuzz.sh "$fuzz_seconds"
fi

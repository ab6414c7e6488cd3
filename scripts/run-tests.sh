#!/usr/bin/env bash
# The whole test suite from scratch: installs the dependencies, then configures,
# builds and runs CTest for the default, asan, tsan and m32 presets (m32 is the
# 32-bit library with the whole suite built 32-bit; its export check compares
# with the default preset's library, so default runs first; once the default
# preset is built, scripts/clang-tidy.sh checks src/ and sim/, its findings
# failing the run at its end); then the Python
# package installed into a venv and tested there. Then every fuzz target runs
# for FUZZ_SECONDS seconds (default 30; 0 skips them) through scripts/fuzz.sh,
# two at a time (FUZZ_JOBS). The Windows DLLs cross-built with mingw-w64 run
# when named: win64 with its tests under wine64 against the default preset's
# simulator, win32 built, its tests run where a 32-bit wine is installed.
#   scripts/run-tests.sh             default, asan, tsan and m32, then fuzzing
#   PRESETS="win64 win32" scripts/run-tests.sh   the Windows DLLs
#   PRESETS="tsan" scripts/run-tests.sh   any list of presets
#   FUZZ_SECONDS=0 scripts/run-tests.sh   no fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."

presets=${PRESETS:-"default asan tsan m32"}
tidy_status=0
deps_options=()
case " $presets " in
  *" m32 "*) deps_options+=(--m32) ;;
esac
# The Windows cross build.
case " $presets " in
  *" win64 "* | *" win32 "*) deps_options+=(--windows) ;;
esac
scripts/install-deps.sh "${deps_options[@]}"

# The Windows builds: inih from the local copy where there is one (no network
# needed), and the native simulator their tests start.
windows_configure_options=()
if [ -d ../shared/third_party/inih-r55 ]; then
  windows_configure_options+=("-DFETCHCONTENT_SOURCE_DIR_INIH=$(cd ../shared/third_party/inih-r55 && pwd)")
fi
prepare_windows_preset() {
  if [ ! -x build/default/sim/veltrano-sim ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default -j "$(nproc)" --target veltrano-sim
  fi
}

for preset in $presets; do
  echo "=== preset $preset"
  if [ "$preset" = m32 ] && ! dpkg-query -W -f='${Status}\n' libinih-dev:i386 g++-multilib 2>/dev/null \
       | grep -c "install ok installed" | grep -qx 2; then
    echo "=== preset m32: Debian could not install the i386 packages on this machine: not built, its tests are not run" >&2
    continue
  fi
  case "$preset" in
    win64 | win32)
      prepare_windows_preset
      cmake --preset "$preset" "${windows_configure_options[@]}"
      if [ "$preset" = win32 ] && ! dpkg-query -W -f='${Status}\n' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
        # Test programs that cannot run are not built: the DLL, and the C
        # programs whose compilation checks the struct layouts of this ABI.
        echo "=== preset win32: Debian could not install a 32-bit wine on this machine: the DLL is built and its export and import tables are checked; its tests are not run" >&2
        cmake --build --preset "$preset" -j "$(nproc)" --target veltranoapi abi_all_exports c_header_check
      else
        cmake --build --preset "$preset" -j "$(nproc)"
      fi
      ctest --preset "$preset"
      continue
      ;;
  esac
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
  if [ "$preset" = default ]; then
    # Naming style and fault checks on the default preset's compile commands;
    # findings fail the run at its end, after every suite has run.
    echo "=== clang-tidy on src/ and sim/"
    scripts/clang-tidy.sh default || tidy_status=$?
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

if [ "$tidy_status" -ne 0 ]; then
  echo "=== clang-tidy found problems (listed after \"=== clang-tidy on src/ and sim/\")" >&2
  exit "$tidy_status"
fi

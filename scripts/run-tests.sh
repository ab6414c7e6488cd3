#!/usr/bin/env bash
# The whole test suite from scratch: installs the dependencies, then configures,
# builds and runs CTest for the default, asan, tsan, m32, win64 and win32
# presets (m32 is the 32-bit library with the whole suite built 32-bit; its
# export check compares with the default preset's library, so default runs
# first; once the default preset is built, scripts/clang-tidy.sh checks src/
# and sim/, its findings failing the run at its end). The Windows DLLs are
# cross-built with mingw-w64: win64 with its unit and end-to-end suites run
# under wine64 against the default preset's simulator; win32 built, its tests
# run where a 32-bit wine is installed (elsewhere its DLL's tables are
# checked). Then the Python package installed into a venv and tested there.
# Then every fuzz target runs for FUZZ_SECONDS seconds (default 30; 0 skips
# them) through scripts/fuzz.sh, two at a time (FUZZ_JOBS). Each preset's
# time is printed at the end.
#   scripts/run-tests.sh             every preset, then fuzzing
#   PRESETS="tsan" scripts/run-tests.sh   any list of presets
#   FUZZ_SECONDS=0 scripts/run-tests.sh   no fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."

# The time of each step, printed at the end.
step_times=()
step=""
step_started=$SECONDS
begin_step() {
  if [ -n "$step" ]; then
    step_times+=("$step: $((SECONDS - step_started)) s")
  fi
  step=$1
  step_started=$SECONDS
}

presets=${PRESETS:-"default asan tsan m32 win64 win32"}
tidy_status=0
deps_options=()
case " $presets " in
  *" m32 "*) deps_options+=(--m32) ;;
esac
# The Windows cross build.
case " $presets " in
  *" win64 "* | *" win32 "*) deps_options+=(--windows) ;;
esac
begin_step "dependencies"
scripts/install-deps.sh "${deps_options[@]}"

# The Windows builds: inih from the local copy where there is one (no network
# needed), and the native simulator their tests start.
windows_configure_options=()
windows_inih_missing=0
if [ -d ../shared/third_party/inih-r55 ]; then
  windows_configure_options+=("-DFETCHCONTENT_SOURCE_DIR_INIH=$(cd ../shared/third_party/inih-r55 && pwd)")
elif [[ " $presets " == *" win"* ]] &&
     ! timeout 60 git ls-remote --exit-code --tags https://github.com/benhoyt/inih.git r55 >/dev/null 2>&1; then
  windows_inih_missing=1
fi
prepare_windows_preset() {
  if [ ! -x build/default/sim/veltrano-sim ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default -j "$(nproc)" --target veltrano-sim
  fi
}

for preset in $presets; do
  begin_step "preset $preset"
  echo "=== preset $preset"
  if [ "$preset" = m32 ] && ! dpkg-query -W -f='${Status}\n' libinih-dev:i386 g++-multilib 2>/dev/null \
       | grep -c "install ok installed" | grep -qx 2; then
    echo "=== preset m32: Debian could not install the i386 packages on this machine: not built, its tests are not run" >&2
    continue
  fi
  case "$preset" in
    win64 | win32)
      if [ "$windows_inih_missing" -eq 1 ]; then
        echo "=== preset $preset: inih's sources are neither in ../shared/third_party/inih-r55 nor reachable at its upstream repository from this machine: not built, its tests are not run" >&2
        continue
      fi
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
    begin_step "clang-tidy"
    echo "=== clang-tidy on src/ and sim/"
    scripts/clang-tidy.sh default || tidy_status=$?
    begin_step "preset default, CTest"
  fi
  ctest --preset "$preset"
done

# The Python package installed into a venv, its tests run against that copy.
if [[ " $presets " == *" default "* ]]; then
  begin_step "Python package"
  echo "=== Python package installed in a venv"
  scripts/test-python-package.sh build/default
fi

fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
  begin_step "fuzz targets"
  echo "=== fuzz targets, $fuzz_seconds s each"
  FUZZ_JOBS=${FUZZ_JOBS:-2} scripts/fuzz.sh "$fuzz_seconds"
fi

begin_step ""
echo "=== time per step"
printf '  %s\n' "${step_times[@]}"

if [ "$tidy_status" -ne 0 ]; then
  echo "=== clang-tidy found problems (listed after \"=== clang-tidy on src/ and sim/\")" >&2
  exit "$tidy_status"
fi

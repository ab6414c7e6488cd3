#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fuzz targets, the
# clang-tidy check, the demo and the benchmarks need. Idempotent: apt-get runs
# only when something is missing.
#   scripts/install-deps.sh          the 64-bit build
#   scripts/install-deps.sh --m32    also the 32-bit build (the m32 preset):
#                                    the i386 architecture, the multilib
#                                    compilers and the i386 development packages,
#                                    which install beside the amd64 ones; and,
#                                    where the kernel runs no 32-bit programs,
#                                    an emulator registered for them
#   scripts/install-deps.sh --windows  also the Windows cross build (the win64
#                                    and win32 presets): the mingw-w64
#                                    compilers in their posix thread model and
#                                    wine64 for the tests; a 32-bit wine where
#                                    Debian can install one
set -euo pipefail

with_m32=0
with_windows=0
for arg in "$@"; do
  case "$arg" in
    --m32) with_m32=1 ;;
    --windows) with_windows=1 ;;
    *) echo "usage: $0 [--m32] [--windows]" >&2; exit 2 ;;
  esac
done

packages=(
  build-essential cmake ninja-build pkg-config ccache
  nlohmann-json3-dev libspdlog-dev libfmt-dev libboost-dev libboost-system-dev libinih-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-tidy-14
  python3 python3-numpy python3-matplotlib
)
# The Python package: venv install, HDF5 output, the live view's charts and its browser test.
packages+=(python3-venv python3-setuptools python3-pip python3-h5py libjs-chart.js
           chromium chromium-driver python3-selenium)
m32_packages=(
  gcc-multilib g++-multilib
  libinih-dev:i386 libspdlog-dev:i386 libfmt-dev:i386 libgtest-dev:i386 libboost-dev:i386
  qemu-user-static
)
optional=()
if [ "$with_m32" -eq 1 ]; then
  optional+=("${m32_packages[@]}")
fi

# The Windows cross build. GoogleTest is compiled from libgtest-dev's sources
# and inih fetched with git (or taken from FETCHCONTENT_SOURCE_DIR_INIH).
windows_packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 git
)
# A 32-bit wine needs the i386 architecture (--m32 adds it); where its
# dependency tree does not resolve, the win32 tests are not run.
windows_optional_packages=(wine32:i386)
if [ "$with_windows" -eq 1 ]; then
  packages+=("${windows_packages[@]}")
  if dpkg --print-foreign-architectures | grep -qx i386 || [ "$with_m32" -eq 1 ]; then
    optional+=("${windows_optional_packages[@]}")
  fi
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# The i386 packages can only be found once dpkg knows the architecture; the
# package lists must then be read again.
if [ "$with_m32" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
fi

# Succeeds when a 32-bit x86 program runs on this machine.
can_run_32bit_programs() {
  local dir status=0
  dir=$(mktemp -d)
  printf 'int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n' > "$dir/probe.c"
  { gcc -m32 "$dir/probe.c" -o "$dir/probe" && "$dir/probe"; } 2>/dev/null || status=1
  rm -rf "$dir"
  return $status
}

# Makes sure this machine runs the 32-bit x86 programs of the m32 build. Some
# kernels are built or booted without 32-bit support ("Exec format error" for
# every -m32 program); there the i386 user-mode emulator of qemu-user-static is
# registered with the kernel's binfmt_misc, so 32-bit programs, and the
# processes they start, run transparently. Nothing is changed where 32-bit
# programs already run.
enable_32bit_programs() {
  local binfmt=/proc/sys/fs/binfmt_misc emulator=/usr/bin/qemu-i386-static magic mask
  if can_run_32bit_programs; then
    echo "install-deps: 32-bit programs run"
    return 0
  fi
  if [ ! -e "$binfmt/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # ELF, 32-bit, little-endian, executable or shared object, machine i386.
    # The F flag opens the emulator now, so the registration works in every
    # mount namespace.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":qemu-i386:M::${magic}:${mask}:${emulator}:F" | $SUDO tee "$binfmt/register" > /dev/null || return 1
  fi
  if [ "$(head -n 1 "$binfmt/qemu-i386")" != "enabled" ]; then
    echo 1 | $SUDO tee "$binfmt/qemu-i386" > /dev/null || return 1
  fi
  if ! can_run_32bit_programs; then
    echo "install-deps: 32-bit programs do not run, not even through $emulator" >&2
    return 1
  fi
  echo "install-deps: 32-bit programs run through $emulator"
}

# Prints the packages of the arguments that are not installed.
missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

# A mirror in the middle of a sync fails "apt-get update" for one index while
# the others are fine: try a few times, then go on with the lists there are.
lists_updated=0
update_package_lists() {
  [ "$lists_updated" -eq 1 ] && return 0
  lists_updated=1
  local try
  for try in 1 2 3; do
    $SUDO apt-get update -qq && return 0
    echo "install-deps: apt-get update failed (try $try of 3)" >&2
    sleep $((try * 5))
  done
  echo "install-deps: warning: going on with the package lists as they are" >&2
}

# Installs what is missing of the arguments; fails when apt-get cannot.
install_packages() {
  local missing
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "install-deps: installing ${missing[*]}"
  update_package_lists
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install_packages "${packages[@]}"
echo "install-deps: the 64-bit build's packages are present"

# The optional sets never fail the script: where Debian cannot install them on
# this machine (an i386 index behind the amd64 one leaves the multiarch
# dependencies unresolvable), scripts/run-tests.sh finds them missing and says
# that the preset cannot be built here.
if [ ${#optional[@]} -gt 0 ] && ! install_packages "${optional[@]}"; then
  echo "install-deps: warning: could not install ${optional[*]}" >&2
fi

# A machine that cannot run 32-bit programs at all still builds the m32
# preset; scripts/run-tests.sh then says that its tests cannot run here.
if [ "$with_m32" -eq 1 ] && [ -z "$(missing_of "${m32_packages[@]}")" ] && ! enable_32bit_programs; then
  echo "install-deps: warning: this machine runs no 32-bit programs; the m32 tests cannot run" >&2
fi

# Builds 32-bit x86 programs on a 64-bit Debian machine with the multilib
# compilers (g++-multilib) and the i386 development packages installed beside
# the amd64 ones (scripts/install-deps.sh --m32).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

# Makes find_package and find_library look in the i386 multiarch folders
# (/usr/lib/i386-linux-gnu) and GNUInstallDirs choose them under /usr.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Where the native (64-bit) libraries are, for a simulator built natively
# (VELTRANO_NATIVE_SIM).
set(VELTRANO_NATIVE_LIBRARY_DIR /usr/lib/x86_64-linux-gnu)

# pkg-config otherwise reads the amd64 .pc files and hands out the 64-bit
# inih archives, which the linker then rejects only at the end of the build.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")

# The machine runs 32-bit x86 programs natively, so tests (and the test
# discovery that runs them at build time) need no emulator.

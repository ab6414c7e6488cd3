# The part of the two mingw-w64 toolchain files they share; VELTRANO_MINGW_TRIPLET
# names the target (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
if(VELTRANO_MINGW_TRIPLET MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER ${VELTRANO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRANO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRANO_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${VELTRANO_MINGW_TRIPLET}-objdump)

# Only the cross compiler's own folders are searched for libraries and headers:
# the host's /usr/include holds glibc's headers, which must never reach a
# Windows build. The header-only dependencies are staged separately
# (cmake/WindowsDependencies.cmake); programs (cmake, wine) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELTRANO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)


# libgcc, libstdc++ and winpthread go into every DLL and program, so that
# nothing but system DLLs is needed at run time (on Windows and under wine).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

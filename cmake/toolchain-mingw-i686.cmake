# Cross-builds the 32-bit Windows DLL (veltranoapi32.dll) with Debian's
# mingw-w64 compilers in their posix thread model. Its tests need a 32-bit
# wine, which Debian cannot always install beside the 64-bit one.
set(VELTRANO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

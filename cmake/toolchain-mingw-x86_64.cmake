# Cross-builds the 64-bit Windows DLL (veltranoapi64.dll) with Debian's
# mingw-w64 compilers in their posix thread model, which has std::thread and
# std::mutex (scripts/install-deps.sh --windows). Tests run under wine64.
set(VELTRANO_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

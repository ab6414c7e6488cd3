# In a 32-bit build, builds the simulator as a native 64-bit program instead
# (VELTRANO_NATIVE_SIM). The simulator is a separate process that the library
# reaches over TCP, so the 32-bit library and its tests need no 32-bit
# simulator; a native one runs at full speed also where 32-bit programs are
# emulated, and the end-to-end tests depend on its signal model keeping time.
# The same sources are compiled with -m64, which overrides the toolchain's
# -m32 because it comes later on every command line, and link inih from the
# 64-bit multiarch folder (VELTRANO_NATIVE_LIBRARY_DIR, set by the toolchain).
if(NOT VELTRANO_NATIVE_LIBRARY_DIR)
  message(FATAL_ERROR "VELTRANO_NATIVE_SIM needs VELTRANO_NATIVE_LIBRARY_DIR (see cmake/toolchain-i386.cmake)")
endif()
find_library(VELTRANO_NATIVE_INIREADER NAMES libINIReader.a
  PATHS ${VELTRANO_NATIVE_LIBRARY_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_library(VELTRANO_NATIVE_INIH NAMES libinih.a
  PATHS ${VELTRANO_NATIVE_LIBRARY_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# inih for native programs: the headers are the same, the archives 64-bit.
add_library(vel_inih_native INTERFACE)
target_include_directories(vel_inih_native SYSTEM INTERFACE ${INIREADER_INCLUDE_DIRS})
target_link_libraries(vel_inih_native INTERFACE ${VELTRANO_NATIVE_INIREADER} ${VELTRANO_NATIVE_INIH})

# Makes a target, and everything that links it, a native 64-bit program.
function(veltrano_build_natively target)
  target_compile_options(${target} PUBLIC -m64)
  target_link_options(${target} PUBLIC -m64)
endfunction()

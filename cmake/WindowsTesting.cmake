# Tests of the Windows cross build, run under wine: GoogleTest compiled from
# the sources Debian's libgtest-dev installs, a wine prefix of the build's own,
# and one CTest test per test program (or per shard of a large one). Wine
# starts in about a second per process, so test cases are not discovered and
# run one process each as in the Linux builds.

set(VELTRANO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources (libgtest-dev)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELTRANO_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(gtest_target gtest gtest_main)
  if(NOT TARGET GTest::${gtest_target})
    add_library(GTest::${gtest_target} ALIAS ${gtest_target})
  endif()
endforeach()

# The prefix is made once when the build runs, so tests running in parallel
# never race to create it.
if(VELTRANO_WINE)
  add_custom_command(OUTPUT ${VELTRANO_WINE_PREFIX}/system.reg
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init
    COMMENT "Creating the wine prefix for the tests"
    VERBATIM)
  add_custom_target(veltrano_wine_prefix ALL DEPENDS ${VELTRANO_WINE_PREFIX}/system.reg)
endif()

# Registers a GoogleTest program as `shards` CTest tests (GoogleTest's own
# sharding), which ctest runs in parallel.
function(veltrano_add_wine_gtests target shards timeout)
  math(EXPR last "${shards} - 1")
  foreach(index RANGE ${last})
    set(name ${target})
    if(shards GREATER 1)
      set(name ${target}.shard${index})
    endif()
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout}
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
  endforeach()
endfunction()


# Fails on any thread_local in src/. The Windows DLL's runtime (mingw-w64's
# emulated TLS) frees a thread_local's storage before the destructor of the
# object in it runs at thread exit: the destructor then works on freed heap
# and corrupts it. Per-thread state belongs to an object the thread owns.
#   cmake -DSOURCE_DIR=<repo>/src -P check_no_thread_local.cmake
cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(violations "")
foreach(source IN LISTS sources)
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "(^|[^A-Za-z0-9_/])thread_local[ \t]")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]*//")
      string(STRIP "${line}" line)
      string(REPLACE ";" "" line "${line}")
      list(APPEND violations "${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "thread_local in the library:\n  ${text}")
endif()
message(STATUS "no thread_local in ${SOURCE_DIR}")

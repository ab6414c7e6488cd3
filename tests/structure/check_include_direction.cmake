# Fails on any #include "folder/..." in src/ that points upward: each folder
# of the library may include only the folders listed for it below (its own
# folder always). The floors, top down: api (the exported functions, the
# session registry and the session object), then the features device, acq and
# analysis, then net, then core. The platform files live beside the code that
# uses them; the public header may be included anywhere.
#   cmake -DSOURCE_DIR=<repo>/src -P check_include_direction.cmake

set(ALLOWED_api "core;net;device;acq;analysis")
set(ALLOWED_device "core;net")
set(ALLOWED_acq "core;net")
set(ALLOWED_analysis "core;net")
set(ALLOWED_net "core")
set(ALLOWED_core "")
set(ALLOWED_win "")

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(violations "")
set(checked 0)
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${source}")
  if(NOT DEFINED ALLOWED_${folder})
    list(APPEND violations "${source}: folder '${folder}' has no line in the table")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
    math(EXPR checked "${checked} + 1")
    string(REGEX MATCH "^[^/]+" target "${included}")
    if(target STREQUAL folder OR NOT included MATCHES "/")
      continue()
    endif()
    if(NOT IS_DIRECTORY ${SOURCE_DIR}/${target})
      continue()  # not one of the library's folders
    endif()
    list(FIND ALLOWED_${folder} ${target} found)
    if(found EQUAL -1)
      list(APPEND violations "${source}: includes \"${included}\" (${folder} may include: ${ALLOWED_${folder}})")
    endif()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes against the direction of the floors:\n  ${text}")
endif()
message(STATUS "${checked} includes checked: every one points down")

# Compares the dynamic symbols a shared library defines with the list of
# exported names kept in the repository (NAMES, one per line) and with the ci_
# functions the public header declares (HEADER): all three must be equal.
# With PEER_LIBRARY, the library of the other bitness must define exactly the
# same symbols; when that library has not been built the check prints
# "peer library not built" (the test then counts as skipped).
# With OBJDUMP (a Windows DLL), the names are read from the DLL's export table
# and must be undecorated (no stdcall "@n").
#   cmake -DLIBRARY=... -DNAMES=... -DHEADER=... [-DPEER_LIBRARY=...] [-DOBJDUMP=...] -P check_exports.cmake

function(read_dll_exports library out_var)
  execute_process(COMMAND ${OBJDUMP} -p ${library}
    OUTPUT_VARIABLE dump RESULT_VARIABLE dump_rc)
  if(NOT dump_rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${library}")
  endif()
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" table_start)
  if(table_start LESS 0)
    message(FATAL_ERROR "${library} has no export table")
  endif()
  string(SUBSTRING "${dump}" ${table_start} -1 table)
  string(REPLACE "\n" ";" table_lines "${table}")
  set(exported "")
  foreach(line IN LISTS table_lines)
    if(line MATCHES "^\t\\[ *[0-9]+\\] (.+)$")
      list(APPEND exported "${CMAKE_MATCH_1}")
    elseif(exported AND NOT line MATCHES "^\t")
      break()
    endif()
  endforeach()
  foreach(name IN LISTS exported)
    if(name MATCHES "@")
      message(FATAL_ERROR "${library} exports a decorated name: ${name}")
    endif()
  endforeach()
  list(SORT exported)
  set(${out_var} "${exported}" PARENT_SCOPE)
endfunction()

function(read_exports library out_var)
  if(DEFINED OBJDUMP)
    read_dll_exports(${library} exported)
    set(${out_var} "${exported}" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND nm -D --defined-only ${library}
    OUTPUT_VARIABLE nm_out RESULT_VARIABLE nm_rc)
  if(NOT nm_rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${library}")
  endif()
  string(REPLACE "\n" ";" nm_lines "${nm_out}")
  set(exported "")
  foreach(line IN LISTS nm_lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ @]+)")
      list(APPEND exported "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(SORT exported)
  list(REMOVE_DUPLICATES exported)
  set(${out_var} "${exported}" PARENT_SCOPE)
endfunction()

function(read_declarations header out_var)
  file(READ ${header} header_text)
  string(REGEX MATCHALL "CI_API[^;(]*[ *](ci_[a-z0-9_]+)[ ]*\\(" decls "${header_text}")
  set(declared "")
  foreach(decl IN LISTS decls)
    string(REGEX REPLACE ".*[ *](ci_[a-z0-9_]+)[ ]*\\($" "\\1" name "${decl}")
    list(APPEND declared "${name}")
  endforeach()
  list(SORT declared)
  set(${out_var} "${declared}" PARENT_SCOPE)
endfunction()

function(read_names file out_var)
  file(STRINGS ${file} names REGEX "^ci_[a-z0-9_]+$")
  list(SORT names)
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()

# Fails naming what one list has and the other lacks.
function(require_equal what_a a what_b b)
  if(NOT a STREQUAL b)
    set(only_a ${a})
    list(REMOVE_ITEM only_a ${b})
    set(only_b ${b})
    list(REMOVE_ITEM only_b ${a})
    message(FATAL_ERROR "${what_a} and ${what_b} differ.\n"
      "  only in ${what_a}: ${only_a}\n  only in ${what_b}: ${only_b}")
  endif()
endfunction()

read_names(${NAMES} LISTED)
list(LENGTH LISTED N_LISTED)
if(N_LISTED EQUAL 0)
  message(FATAL_ERROR "no ci_ names found in ${NAMES}")
endif()

read_exports(${LIBRARY} EXPORTED)
require_equal("the exports of ${LIBRARY}" "${EXPORTED}" "the list ${NAMES}" "${LISTED}")

if(DEFINED HEADER)
  read_declarations(${HEADER} DECLARED)
  require_equal("the declarations of ${HEADER}" "${DECLARED}" "the list ${NAMES}" "${LISTED}")
endif()

if(DEFINED PEER_LIBRARY)
  if(NOT EXISTS "${PEER_LIBRARY}")
    message("peer library not built: ${PEER_LIBRARY}")
    return()
  endif()
  # A peer built from older sources fails here too: rebuild it first.
  read_exports(${PEER_LIBRARY} PEER_EXPORTED)
  require_equal("the exports of ${LIBRARY}" "${EXPORTED}" "the exports of ${PEER_LIBRARY}" "${PEER_EXPORTED}")
endif()
message(STATUS "${N_LISTED} ci_ functions exported, as listed and declared")

# Checks that a shared library file is an ELF file of the expected class
# (BITS 32 or 64) and carries the SONAME expected (SONAME).
#   cmake -DLIBRARY=... -DBITS=32 -DSONAME=libveltranoapi32.so.1 -P check_library_file.cmake

# The ELF identification: magic 7f 45 4c 46, then the class byte (1: 32-bit,
# 2: 64-bit).
file(READ ${LIBRARY} ident LIMIT 5 HEX)
if(NOT ident MATCHES "^7f454c46(0[12])$")
  message(FATAL_ERROR "${LIBRARY} is not an ELF file (starts with ${ident})")
endif()
if(CMAKE_MATCH_1 STREQUAL "01")
  set(actual_bits 32)
else()
  set(actual_bits 64)
endif()
if(NOT actual_bits EQUAL BITS)
  message(FATAL_ERROR "${LIBRARY} is a ${actual_bits}-bit ELF file, expected ${BITS}-bit")
endif()

execute_process(COMMAND readelf -d ${LIBRARY}
  OUTPUT_VARIABLE dynamic RESULT_VARIABLE readelf_rc)
if(NOT readelf_rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${LIBRARY}")
endif()
if(NOT dynamic MATCHES "\\(SONAME\\)[^\n]*\\[([^]\n]+)\\]")
  message(FATAL_ERROR "${LIBRARY} has no SONAME")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL SONAME)
  message(FATAL_ERROR "${LIBRARY} has the SONAME ${CMAKE_MATCH_1}, expected ${SONAME}")
endif()
message(STATUS "${LIBRARY}: ${BITS}-bit ELF, SONAME ${SONAME}")

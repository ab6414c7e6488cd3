cmake_minimum_required(VERSION 3.25)

# Checks that a Windows DLL is a PE file of the expected machine (BITS 32 or
# 64) and imports nothing but system DLLs: the C and C++ runtimes and
# winpthread must be linked in, so the DLL runs on a Windows machine with
# nothing else installed.
#   cmake -DLIBRARY=veltranoapi64.dll -DBITS=64 -DOBJDUMP=x86_64-w64-mingw32-objdump -P check_dll_imports.cmake

# System DLLs of every Windows version the library supports; msvcrt or the
# Universal CRT (api-ms-win-crt-*) is the C runtime.
set(allowed kernel32.dll ws2_32.dll mswsock.dll msvcrt.dll ucrtbase.dll advapi32.dll user32.dll
  ntdll.dll shell32.dll ole32.dll bcrypt.dll)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
  OUTPUT_VARIABLE dump RESULT_VARIABLE dump_rc)
if(NOT dump_rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
endif()

if(BITS EQUAL 64)
  set(format pei-x86-64)
else()
  set(format pei-i386)
endif()
if(NOT dump MATCHES "file format ${format}")
  message(FATAL_ERROR "${LIBRARY} is not a ${BITS}-bit Windows DLL (${format})")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(names "")
foreach(entry IN LISTS imports)
  string(REGEX REPLACE "^DLL Name: " "" name "${entry}")
  string(TOLOWER "${name}" name)
  list(APPEND names ${name})
  if(NOT name IN_LIST allowed AND NOT name MATCHES "^api-ms-win-crt-")
    message(FATAL_ERROR "${LIBRARY} imports ${name}, which is not a system DLL")
  endif()
endforeach()
if(NOT names)
  message(FATAL_ERROR "no imports read from ${LIBRARY}")
endif()
message(STATUS "${LIBRARY}: ${BITS}-bit, imports only ${names}")

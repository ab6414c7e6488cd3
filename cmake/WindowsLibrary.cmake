# The Windows DLL: veltranoapi64.dll or veltranoapi32.dll, with its import
# library (veltranoapi64.dll.a) for mingw and a module-definition file
# (veltranoapi64.def) from which MSVC users make a .lib with lib /def:. The
# exports are the ci_ functions marked dllexport in the public header, with
# undecorated cdecl names; nothing else is exported. libgcc, libstdc++ and
# winpthread are linked in statically (the toolchain's -static), so the DLL
# imports system DLLs only.
# The DLL, its import library and the .def file go to bin/, beside the programs.
set(VELTRANO_DEF_FILE ${CMAKE_BINARY_DIR}/bin/${VELTRANO_LIB_NAME}.def)
set(VELTRANO_BITS_TEXT "64-bit")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VELTRANO_BITS_TEXT "32-bit")
endif()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/win/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)

target_sources(veltranoapi PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/win/dll_entry.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
set_target_properties(veltranoapi PROPERTIES
  OUTPUT_NAME ${VELTRANO_LIB_NAME}
  EXPORT_NAME ${VELTRANO_LIB_NAME}
  PREFIX ""
  IMPORT_PREFIX ""
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_options(veltranoapi PRIVATE
  -Wl,--exclude-all-symbols
  -Wl,--output-def,${VELTRANO_DEF_FILE}
  -Wl,--no-undefined)
set_property(TARGET veltranoapi APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${VELTRANO_DEF_FILE})

install(FILES ${VELTRANO_DEF_FILE} DESTINATION ${CMAKE_INSTALL_LIBDIR})

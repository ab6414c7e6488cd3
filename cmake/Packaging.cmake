# Install layout. The 64-bit and the 32-bit build may install into one prefix
# side by side: each adds its library (lib<name>.so.1.4.0 with its SONAME link
# and development link), its pkg-config file and its own CMake targets file;
# the header and the package files are the same from both. The CMake package
# lives under share/, a folder that both bitnesses' consumers search, so
# find_package(veltranoapi) sees every library installed into the prefix.
include(CMakePackageConfigHelpers)

set(VELTRANO_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_DATADIR}/cmake/veltranoapi)

install(FILES ${PROJECT_SOURCE_DIR}/include/veltranoapi/veltranoapi.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/veltranoapi)

install(EXPORT veltranoapiTargets
  FILE ${VELTRANO_LIB_NAME}Targets.cmake
  NAMESPACE veltranoapi::
  DESTINATION ${VELTRANO_CMAKE_PACKAGE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/veltranoapiConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/veltranoapiConfig.cmake
  INSTALL_DESTINATION ${VELTRANO_CMAKE_PACKAGE_DIR}
  NO_SET_AND_CHECK_MACRO)
# One version file serves both bitnesses: the config file itself chooses the
# library that matches the consumer.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/veltranoapiConfigVersion.cmake
  COMPATIBILITY SameMajorVersion
  ARCH_INDEPENDENT)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/veltranoapiConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/veltranoapiConfigVersion.cmake
  DESTINATION ${VELTRANO_CMAKE_PACKAGE_DIR})

# The pkg-config file finds the prefix from its own folder, so the install
# tree can be moved. An absolute library or include folder is used as it is.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VELTRANO_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(VELTRANO_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH VELTRANO_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" VELTRANO_PC_UP "${VELTRANO_PC_UP}")
  set(VELTRANO_PC_PREFIX "\${pcfiledir}/${VELTRANO_PC_UP}")
  set(VELTRANO_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VELTRANO_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(VELTRANO_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
math(EXPR VELTRANO_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
configure_file(${CMAKE_CURRENT_LIST_DIR}/veltranoapi.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/${VELTRANO_LIB_NAME}.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${VELTRANO_LIB_NAME}.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Every dependency comes from Debian's packages. The shared library must carry no
# runtime dependency beyond the C and C++ runtimes, so spdlog and fmt are used in
# their header-only form, Boost as headers only and inih from its static archives.
# The Windows cross build has its own set-up.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDependencies.cmake)
  return()
endif()

find_package(Threads REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(Boost 1.74 REQUIRED)
find_package(PkgConfig REQUIRED)

# spdlog with the external fmt, both header-only. Keeping them inside the library
# also keeps the logger registry private to it, so a host program that uses spdlog
# never meets the library's "veltranoapi" logger.
find_path(SPDLOG_INCLUDE_DIR spdlog/spdlog.h REQUIRED)
find_path(FMT_INCLUDE_DIR fmt/format.h REQUIRED)
add_library(vel_spdlog INTERFACE)
target_include_directories(vel_spdlog SYSTEM INTERFACE ${SPDLOG_INCLUDE_DIR} ${FMT_INCLUDE_DIR})
target_compile_definitions(vel_spdlog INTERFACE SPDLOG_FMT_EXTERNAL FMT_HEADER_ONLY=1)
target_link_libraries(vel_spdlog INTERFACE Threads::Threads)

# inih's INIReader, linked from the static archives pkg-config points at.
pkg_check_modules(INIREADER REQUIRED INIReader)
pkg_get_variable(INIREADER_LIBDIR INIReader libdir)
find_library(INIREADER_STATIC NAMES libINIReader.a HINTS ${INIREADER_LIBDIR} NO_DEFAULT_PATH REQUIRED)
find_library(INIH_STATIC NAMES libinih.a HINTS ${INIREADER_LIBDIR} NO_DEFAULT_PATH REQUIRED)
add_library(vel_inih INTERFACE)
target_include_directories(vel_inih SYSTEM INTERFACE ${INIREADER_INCLUDE_DIRS})
target_link_libraries(vel_inih INTERFACE ${INIREADER_STATIC} ${INIH_STATIC})

# Boost.Asio and Boost.System as headers only.
add_library(vel_boost INTERFACE)
target_link_libraries(vel_boost INTERFACE Boost::headers Threads::Threads)
target_compile_definitions(vel_boost INTERFACE BOOST_ASIO_NO_DEPRECATED BOOST_ERROR_CODE_HEADER_ONLY BOOST_SYSTEM_NO_DEPRECATED)

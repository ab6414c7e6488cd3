# Dependencies of the Windows cross build (the win64 and win32 presets).
# Boost.Asio, spdlog, fmt and nlohmann json are header-only: Debian's headers
# serve, but only their own folders are put on the include path, never the
# host's /usr/include, which holds glibc's headers. inih has no mingw build:
# it is compiled from its sources, fetched at tag r55 (the version Debian
# ships) or taken from FETCHCONTENT_SOURCE_DIR_INIH on a machine without
# network. libgcc, libstdc++ and winpthread are linked statically, so the DLL
# needs nothing but system DLLs.

find_package(Threads REQUIRED)

set(VELTRANO_HOST_INCLUDE_DIR /usr/include CACHE PATH
  "Where the host's header-only dependencies are (boost, spdlog, fmt, nlohmann)")
set(VELTRANO_STAGED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/staged-include)
foreach(folder boost spdlog fmt nlohmann)
  if(NOT EXISTS ${VELTRANO_HOST_INCLUDE_DIR}/${folder})
    message(FATAL_ERROR "${VELTRANO_HOST_INCLUDE_DIR}/${folder} is missing (scripts/install-deps.sh)")
  endif()
  if(NOT EXISTS ${VELTRANO_STAGED_INCLUDE_DIR}/${folder})
    file(MAKE_DIRECTORY ${VELTRANO_STAGED_INCLUDE_DIR})
    file(CREATE_LINK ${VELTRANO_HOST_INCLUDE_DIR}/${folder} ${VELTRANO_STAGED_INCLUDE_DIR}/${folder} SYMBOLIC)
  endif()
endforeach()

add_library(vel_json INTERFACE)
target_include_directories(vel_json SYSTEM INTERFACE ${VELTRANO_STAGED_INCLUDE_DIR})
add_library(nlohmann_json::nlohmann_json ALIAS vel_json)

# Log file names are wide strings, so a log folder with any characters works.
add_library(vel_spdlog INTERFACE)
target_include_directories(vel_spdlog SYSTEM INTERFACE ${VELTRANO_STAGED_INCLUDE_DIR})
target_compile_definitions(vel_spdlog INTERFACE SPDLOG_FMT_EXTERNAL FMT_HEADER_ONLY=1 SPDLOG_WCHAR_FILENAMES)
target_link_libraries(vel_spdlog INTERFACE Threads::Threads)

# Windows 7 is the oldest system Boost.Asio is asked to support.
add_library(vel_boost INTERFACE)
target_include_directories(vel_boost SYSTEM INTERFACE ${VELTRANO_STAGED_INCLUDE_DIR})
target_compile_definitions(vel_boost INTERFACE BOOST_ASIO_NO_DEPRECATED BOOST_ERROR_CODE_HEADER_ONLY
  BOOST_SYSTEM_NO_DEPRECATED _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(vel_boost INTERFACE ws2_32 mswsock Threads::Threads)

include(FetchContent)
FetchContent_Declare(inih
  GIT_REPOSITORY https://github.com/benhoyt/inih.git
  GIT_TAG r55
  GIT_SHALLOW TRUE)
FetchContent_MakeAvailable(inih)  # inih has no CMake build: sources only
# Compiled with inih's default options, as Debian's package is.
add_library(vel_inih STATIC ${inih_SOURCE_DIR}/ini.c ${inih_SOURCE_DIR}/cpp/INIReader.cpp)
target_include_directories(vel_inih SYSTEM PUBLIC ${inih_SOURCE_DIR} ${inih_SOURCE_DIR}/cpp)
target_compile_options(vel_inih PRIVATE -w)  # third-party sources as they are

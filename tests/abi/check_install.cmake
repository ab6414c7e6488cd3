# Installs a build tree into a fresh prefix, checks the installed files, then
# configures, builds and runs a small program outside the source tree against
# that prefix, with the same generator and toolchain as the build tree.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_SOURCE=... -DLIB_NAME=veltranoapi64
#         -DLIBDIR=lib -DINCLUDEDIR=include -DBINDIR=bin -DDATADIR=share
#         -DVERSION=1.4.0 -DEXPECT_SIM=ON -DGENERATOR=Ninja
#         [-DTOOLCHAIN_FILE=...] [-DC_FLAGS=...] [-DEXE_LINKER_FLAGS=...]
#         -P check_install.cmake

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
  set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

function(require_file path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endfunction()

function(require_link path target)
  if(NOT IS_SYMLINK "${path}")
    message(FATAL_ERROR "not a symbolic link: ${path}")
  endif()
  file(READ_SYMLINK "${path}" actual)
  if(NOT actual STREQUAL target)
    message(FATAL_ERROR "${path} points to ${actual}, expected ${target}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

string(REGEX MATCH "^[0-9]+" major "${VERSION}")
set(lib ${prefix}/${LIBDIR}/lib${LIB_NAME}.so)
require_file(${lib}.${VERSION})
require_link(${lib}.${major} lib${LIB_NAME}.so.${VERSION})
require_link(${lib} lib${LIB_NAME}.so.${major})
require_file(${prefix}/${INCLUDEDIR}/veltranoapi/veltranoapi.h)
require_file(${prefix}/${LIBDIR}/pkgconfig/${LIB_NAME}.pc)
require_file(${prefix}/${DATADIR}/cmake/veltranoapi/veltranoapiConfig.cmake)
require_file(${prefix}/${DATADIR}/cmake/veltranoapi/veltranoapiConfigVersion.cmake)
require_file(${prefix}/${DATADIR}/cmake/veltranoapi/${LIB_NAME}Targets.cmake)
if(EXPECT_SIM)
  require_file(${prefix}/${BINDIR}/veltrano-sim)
endif()

# The program is copied out of the source tree first, so nothing but the
# installed prefix can serve its includes and libraries.
file(COPY ${CONSUMER_SOURCE}/ DESTINATION ${WORK_DIR}/consumer-src)
set(configure_args -S ${WORK_DIR}/consumer-src -B ${WORK_DIR}/consumer-build -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DVELTRANO_LIBRARY_NAME=${LIB_NAME})
if(TOOLCHAIN_FILE)
  list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
endif()
if(C_FLAGS)
  list(APPEND configure_args "-DCMAKE_C_FLAGS=${C_FLAGS}")
endif()
if(EXE_LINKER_FLAGS)
  list(APPEND configure_args "-DCMAKE_EXE_LINKER_FLAGS=${EXE_LINKER_FLAGS}")
endif()
run("configure the outside program" ${CMAKE_COMMAND} ${configure_args})
run("build the outside program" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer-build)
foreach(program IN ITEMS consumer_cmake consumer_pkgconfig)
  run("run ${program}" ${WORK_DIR}/consumer-build/${program})
  message(STATUS "  ${LAST_OUTPUT}")
endforeach()

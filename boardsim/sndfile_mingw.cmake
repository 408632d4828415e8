# libsndfile for the Windows flavours: the simulated board's WAV reader.
# Debian ships it for Linux only, so scripts/setup.sh unpacks Debian's source
# package into build/third_party/libsndfile and each Windows build compiles
# it with its own toolchain. Its own formats only: no external codecs (FLAC,
# Ogg, Vorbis, Opus, MPEG), which are neither wanted nor there for mingw.
# libsndfile is LGPL: it stays a DLL of its own (libsndfile-1.dll) that ships
# beside the programs and VLQAPI.dll, never linked in statically.
#
# Defines the imported target tarnix::sndfile and TARNIX_SNDFILE_DLL, the
# DLL's path in the build's bin/.
include(ExternalProject)

set(TARNIX_SNDFILE_SOURCE_DIR ${PROJECT_SOURCE_DIR}/build/third_party/libsndfile CACHE PATH
    "Where scripts/setup.sh unpacked Debian's libsndfile source package")
if(NOT EXISTS ${TARNIX_SNDFILE_SOURCE_DIR}/src/sndfile.c)
  message(FATAL_ERROR "The Windows build of the simulated board needs libsndfile's source, "
                      "not found in ${TARNIX_SNDFILE_SOURCE_DIR}: run scripts/setup.sh")
endif()
file(STRINGS ${TARNIX_SNDFILE_SOURCE_DIR}/debian/changelog sndfile_debian LIMIT_COUNT 1)
string(REGEX MATCH "\\(([^)]*)\\)" sndfile_debian "${sndfile_debian}")
message(STATUS "libsndfile: Debian source package ${CMAKE_MATCH_1}")
# Its build writes the DLL's export list with a Python script.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(sndfile_prefix ${CMAKE_BINARY_DIR}/third_party/libsndfile)
set(TARNIX_SNDFILE_DLL ${CMAKE_BINARY_DIR}/bin/libsndfile-1.dll)
set(sndfile_implib ${sndfile_prefix}/lib/libsndfile.dll.a)
# Finding none of the codec libraries is not enough: they are not even
# looked for, so a mingw tree that has some cannot change what is built.
set(sndfile_no_codecs)
foreach(package Ogg Vorbis FLAC Opus mp3lame Mpg123 Speex SQLite3 ALSA Sndio)
  list(APPEND sndfile_no_codecs -DCMAKE_DISABLE_FIND_PACKAGE_${package}=ON)
endforeach()
ExternalProject_Add(sndfile_mingw
  SOURCE_DIR ${TARNIX_SNDFILE_SOURCE_DIR}
  PREFIX ${sndfile_prefix}
  INSTALL_DIR ${sndfile_prefix}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DBUILD_SHARED_LIBS=ON
    -DENABLE_COMPATIBLE_LIBSNDFILE_NAME=ON
    # libgcc inside the DLL: like every program of the build, it needs
    # nothing beyond system DLLs.
    -DENABLE_STATIC_RUNTIME=ON
    -DENABLE_EXTERNAL_LIBS=OFF
    -DENABLE_MPEG=OFF
    -DBUILD_PROGRAMS=OFF
    -DBUILD_EXAMPLES=OFF
    -DBUILD_TESTING=OFF
    -DBUILD_REGTEST=OFF
    -DENABLE_CPACK=OFF
    -DENABLE_PACKAGE_CONFIG=OFF
    -DINSTALL_PKGCONFIG_MODULE=OFF
    -DINSTALL_MANPAGES=OFF
    -DPYTHON_EXECUTABLE=${Python3_EXECUTABLE}
    # As for the rest of the build (cmake/TarnixReproducible.cmake): no
    # folder of this clone in the DLL, no link time in its header.
    "-DCMAKE_C_FLAGS=-ffile-prefix-map=${TARNIX_SNDFILE_SOURCE_DIR}=libsndfile -ffile-prefix-map=${sndfile_prefix}=libsndfile-build"
    "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=${TARNIX_SNDFILE_SOURCE_DIR}=libsndfile -ffile-prefix-map=${sndfile_prefix}=libsndfile-build"
    -DCMAKE_SHARED_LINKER_FLAGS=-Wl,--no-insert-timestamp
    ${sndfile_no_codecs}
  BUILD_BYPRODUCTS ${sndfile_implib}
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON
  LOG_OUTPUT_ON_FAILURE ON)
# Beside the programs that load it (VLQAPI.dll and the test programs).
ExternalProject_Add_Step(sndfile_mingw beside_programs
  COMMAND ${CMAKE_COMMAND} -E copy_if_different <INSTALL_DIR>/bin/libsndfile-1.dll
          ${TARNIX_SNDFILE_DLL}
  DEPENDEES install
  BYPRODUCTS ${TARNIX_SNDFILE_DLL})

file(MAKE_DIRECTORY ${sndfile_prefix}/include)
add_library(tarnix_sndfile SHARED IMPORTED GLOBAL)
add_library(tarnix::sndfile ALIAS tarnix_sndfile)
set_target_properties(tarnix_sndfile PROPERTIES
  IMPORTED_LOCATION ${TARNIX_SNDFILE_DLL}
  IMPORTED_IMPLIB ${sndfile_implib}
  INTERFACE_INCLUDE_DIRECTORIES ${sndfile_prefix}/include)
add_dependencies(tarnix_sndfile sndfile_mingw)

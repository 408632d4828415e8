# Helpers shared by the subdirectories.

# tarnix_glob(VAR dir...): every .cpp directly in the given directories.
# New files are picked up on the next build without editing a list.
function(tarnix_glob var)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp")
    list(APPEND files ${found})
  endforeach()
  list(SORT files)
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# GoogleTest: the system package natively; built from Debian's sources for
# mingw, since no prebuilt Windows GoogleTest exists on the machine.
macro(tarnix_find_gtest)
  if(NOT TARGET GTest::gtest_main)
    if(WIN32)
      set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
      # googletest's own build already names its targets GTest::gtest...
    else()
      find_package(GTest REQUIRED)
    endif()
  endif()
endmacro()

# tarnix_header_only_library(name header): the target tarnix::<name> for a
# header-only library of the build machine (`header` as the code includes
# it). Such libraries are plain C++ and serve the mingw build too, but
# putting /usr/include on the cross compiler's path would let glibc's headers
# shadow mingw's. So the Windows build gets a folder of its own per library,
# holding a link to just that library's header or header folder; natively
# the compiler finds the header where it is.
function(tarnix_header_only_library name header)
  string(TOUPPER TARNIX_${name}_INCLUDE_DIR found)
  find_path(${found} ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  add_library(tarnix_${name} INTERFACE)
  add_library(tarnix::${name} ALIAS tarnix_${name})
  if(NOT CMAKE_CROSSCOMPILING)
    # An implicit folder such as /usr/include is left off the command line.
    target_include_directories(tarnix_${name} SYSTEM INTERFACE ${${found}})
    return()
  endif()
  # The header itself, or the first folder of its path.
  string(REGEX REPLACE "/.*" "" entry ${header})
  set(dir ${CMAKE_BINARY_DIR}/header-only/${name})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${${found}}/${entry} ${dir}/${entry} SYMBOLIC)
  target_include_directories(tarnix_${name} SYSTEM INTERFACE ${dir})
endfunction()
tarnix_header_only_library(libdivide libdivide.h)
tarnix_header_only_library(nlohmann_json nlohmann/json.hpp)
tarnix_header_only_library(cli11 CLI/CLI.hpp)

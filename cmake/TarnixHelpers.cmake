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

# The header-only libraries of the build machine (libdivide, nlohmann-json,
# CLI11) are plain C++ and serve the mingw build too. Putting /usr/include on
# the cross compiler's path would let glibc's headers shadow mingw's, so the
# Windows build sees a folder that holds links to just these.
function(tarnix_share_header_only_libraries)
  if(NOT CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/host-header-only)
  file(MAKE_DIRECTORY ${dir})
  foreach(entry libdivide.h nlohmann CLI)
    if(EXISTS /usr/include/${entry} AND NOT EXISTS ${dir}/${entry})
      file(CREATE_LINK /usr/include/${entry} ${dir}/${entry} SYMBOLIC)
    endif()
  endforeach()
  include_directories(AFTER SYSTEM ${dir})
endfunction()
tarnix_share_header_only_libraries()

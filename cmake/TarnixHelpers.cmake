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

# tarnix_module_def(VAR def): the module-definition file to use for `def`.
# The .def files name each routine by its 32-bit stdcall symbol (Name@N, N
# the argument bytes). 64-bit Windows has one calling convention and no such
# decoration, so the 64-bit build uses a copy with the @N suffixes of the
# symbol names removed (ordinals, written " @N", stay). One list serves both.
function(tarnix_module_def var def)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(${var} ${def} PARENT_SCOPE)
    return()
  endif()
  get_filename_component(name ${def} NAME)
  set(out ${CMAKE_BINARY_DIR}/def64/${name})
  file(READ ${def} text)
  string(REGEX REPLACE "([A-Za-z0-9_])@[0-9]+" "\\1" text "${text}")
  string(PREPEND text "; Made by the build from ${name}: 64-bit symbol names carry no @N.\n")
  set(old "")
  if(EXISTS ${out})
    file(READ ${out} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${out} "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  set(${var} ${out} PARENT_SCOPE)
endfunction()

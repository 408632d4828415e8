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

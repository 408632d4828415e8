# One version for every build product: project(VERSION) in the top
# CMakeLists.txt. tarnix_version.h carries it to C++ and to the resource
# compiler; on Windows each shipped file gets a VERSIONINFO resource, so
# Explorer's properties and an installer can tell which build is installed.

set(TARNIX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
# The splash names the build it belongs to, so a user can tell which module
# the host has loaded.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TARNIX_BUILD_NAME "64-bit Windows build")
elseif(WIN32)
  set(TARNIX_BUILD_NAME "32-bit Windows build")
else()
  set(TARNIX_BUILD_NAME "${CMAKE_SYSTEM_NAME} build")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tarnix_version.h.in
               ${TARNIX_GENERATED_DIR}/tarnix_version.h @ONLY)
add_library(tarnix_version INTERFACE)
target_include_directories(tarnix_version INTERFACE ${TARNIX_GENERATED_DIR})

# tarnix_version_resource(target file-name description): the file's version
# resource (Windows only; elsewhere nothing). file-name is the name it ships
# under, e.g. tarnix.dll.
function(tarnix_version_resource target file_name description)
  target_link_libraries(${target} PRIVATE tarnix_version)
  if(NOT WIN32)
    return()
  endif()
  set(TARNIX_RC_FILE_NAME ${file_name})
  set(TARNIX_RC_DESCRIPTION ${description})
  get_filename_component(TARNIX_RC_INTERNAL_NAME ${file_name} NAME_WE)
  if(file_name MATCHES "\\.exe$")
    set(TARNIX_RC_FILE_TYPE VFT_APP)
  else()
    set(TARNIX_RC_FILE_TYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

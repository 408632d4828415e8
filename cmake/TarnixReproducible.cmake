# Reproducible builds: one commit built with the same tools gives the same
# bytes, whichever folder it was cloned into and whenever it is built
# (scripts/release-check.sh builds twice and compares).
#
# TARNIX_SOURCE_DATE_EPOCH is the one time that goes into the release files
# (the shipped Windows files' PE time stamp, the zip and package entries, the
# manual page's date, the bill of materials): SOURCE_DATE_EPOCH from the
# environment where it is set (the convention of Debian's tools), else the
# time of the commit checked out, else the date of the changelog's latest
# entry (a source tree without git). It is written to
# <build>/source-date-epoch only when it changes, so the packaging steps
# that depend on that file are made again for a new commit and only then.
set(TARNIX_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TARNIX_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE TARNIX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE git_status)
  if(NOT git_status EQUAL 0)
    file(STRINGS ${TARNIX_CHANGELOG} stamp REGEX "^ -- .*>  " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" stamp "${stamp}")
    execute_process(COMMAND date -d "${stamp}" +%s
                    OUTPUT_VARIABLE TARNIX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()
if(NOT TARNIX_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no source date: SOURCE_DATE_EPOCH='${TARNIX_SOURCE_DATE_EPOCH}'")
endif()
set(TARNIX_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
file(CONFIGURE OUTPUT ${TARNIX_SOURCE_DATE_FILE} CONTENT "${TARNIX_SOURCE_DATE_EPOCH}\n")

# The compilers write the source and build folders into debug information
# and into __FILE__: both are mapped to names that are the same in every
# clone (the source folder to ".", so a build folder inside it becomes
# ./build/<flavour>). The build folder is mapped on its own only when it
# lies elsewhere; the later option wins where both match.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
file(RELATIVE_PATH binary_in_source ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
if(binary_in_source MATCHES "^\\.\\.")
  add_compile_options(-ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endif()

# Programs and libraries of the build folder find the libraries beside them
# through $ORIGIN instead of the build folder's absolute path, which would
# otherwise sit in every native binary's run path.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)

# The Windows linker stamps each PE file with the time of linking; the
# build's own files get no time at all. The shipped copies are stamped with
# TARNIX_SOURCE_DATE_EPOCH when they are stripped (packaging/CMakeLists.txt:
# strip, like the linker, takes SOURCE_DATE_EPOCH from the environment).
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# Folders the install step creates (and so the .deb's) get the same
# permissions whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

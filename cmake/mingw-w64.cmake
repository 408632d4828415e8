# Cross-compiling a Windows flavour with Debian's mingw-w64, posix threads
# variant (so std::thread and friends work in tests). Included by the
# toolchain file of each width, which names the compilers' triplet first:
#   set(TARNIX_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TARNIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNIX_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${TARNIX_MINGW_TRIPLET}-dlltool)

# Libraries and headers come from the mingw tree only; header-only libraries
# of the build machine are shared one by one (tarnix_header_only_library).
set(CMAKE_FIND_ROOT_PATH /usr/${TARNIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest and the build run the Windows programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

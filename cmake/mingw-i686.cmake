# Toolchain of the 32-bit Windows flavour (preset windows).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

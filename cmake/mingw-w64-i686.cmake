# 32-bit Windows, cross-built with mingw-w64; programs run under wine.
set(TRL4_MINGW_ARCH i686)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

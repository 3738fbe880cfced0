# 64-bit Windows, cross-built with mingw-w64; programs run under 64-bit wine. It exists because
# some machines cannot execute 32-bit programs at all (so not 32-bit wine either): there the
# Windows test programs run as 64-bit, and the 32-bit build is checked statically.
set(TRL4_MINGW_ARCH x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

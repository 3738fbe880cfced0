# 32-bit Windows, cross-built with mingw-w64; programs run under wine.
set(TRL4_MINGW_ARCH i686)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# Plain double arithmetic as on 64-bit platforms, not the x87 unit's extended precision: the
# calibration and verification results must be the same on every platform.
set(TRL4_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (i686) toolchain,
# against the real Windows headers.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KVOEXP_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# SSE2 floating point, so 32-bit arithmetic rounds as the 64-bit builds do.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

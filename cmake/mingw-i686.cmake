# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (i686) toolchain,
# against the real Windows headers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KVOEXP_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KVOEXP_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KVOEXP_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KVOEXP_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KVOEXP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 floating point, so 32-bit arithmetic rounds as the 64-bit builds do.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

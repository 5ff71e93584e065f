# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (x86_64) toolchain,
# against the real Windows headers. The product is the 32-bit build
# (mingw-i686.cmake); this one serves the Windows sessions on machines that
# cannot execute 32-bit x86 code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVOEXP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVOEXP_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KVOEXP_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KVOEXP_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KVOEXP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

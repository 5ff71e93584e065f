# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (x86_64) toolchain,
# against the real Windows headers. The product is the 32-bit build
# (mingw-i686.cmake); this one serves the Windows sessions on machines that
# cannot execute 32-bit x86 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KVOEXP_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

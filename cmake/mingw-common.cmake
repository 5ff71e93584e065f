# The part the MinGW-w64 toolchain files share: Debian's cross compilers named
# by KVOEXP_MINGW_PREFIX (set by the including file), searching the target's
# root for libraries, headers and packages and the host for programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KVOEXP_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KVOEXP_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KVOEXP_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KVOEXP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

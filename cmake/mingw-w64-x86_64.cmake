# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and Qt need). Libraries and headers come from MinGW's sysroot and from the
# directories in BRETTHOLM_WIN_PREFIX (the cached Windows builds of SQLite and Qt); programs such
# as moc and rcc still come from the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRETTHOLM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRETTHOLM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRETTHOLM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRETTHOLM_MINGW_TRIPLE}-windres)

# try_compile() reads this file again in a fresh project; pass the prefix list along.
if(NOT DEFINED BRETTHOLM_WIN_PREFIX AND DEFINED ENV{BRETTHOLM_WIN_PREFIX})
    set(BRETTHOLM_WIN_PREFIX "$ENV{BRETTHOLM_WIN_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRETTHOLM_WIN_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${BRETTHOLM_MINGW_TRIPLE} ${BRETTHOLM_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

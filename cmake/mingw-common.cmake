# What both Windows cross builds share; mingw-i686.cmake and
# mingw-x86_64.cmake set CMAKE_SYSTEM_PROCESSOR and BUSVIEW_MINGW_PREFIX,
# then include this. Debian's MinGW-w64 with the posix thread model, so
# that std::thread works.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${BUSVIEW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BUSVIEW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BUSVIEW_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${BUSVIEW_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${BUSVIEW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Nothing but the ASPI layer and Windows' own DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Windows Vista and later: GetLocaleInfoEx.
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0600 -DWINVER=0x0600")

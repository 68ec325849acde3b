# Cross-building for 32-bit Windows, the release: bound to the 32-bit
# WNASPI32.DLL.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BUSVIEW_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Cross-building for 64-bit Windows: the request block's address fields are
# 8 bytes wide there. Wine runs these builds on any x86-64 machine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BUSVIEW_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

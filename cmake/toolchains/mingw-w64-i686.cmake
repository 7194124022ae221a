# 32-bit Windows with MinGW-w64: the drop-in Vorn_B32.dll of the box's hosts.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VORN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

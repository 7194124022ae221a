# 64-bit Windows with MinGW-w64: the build that is tested under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VORN_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Shared part of the MinGW-w64 toolchain files: the cross compilers of the
# posix thread model (std::thread, std::mutex and thread_local need it), the
# resource compiler, and a fully static C++ runtime, so that Vorn_B32.dll and
# vorn.exe need no DLL beside the system's own.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VORN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORN_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${VORN_MINGW_TRIPLE}-dlltool CACHE FILEPATH "dlltool of the target")
set(CMAKE_OBJDUMP ${VORN_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${VORN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static takes libstdc++, libgcc and winpthread into the images; no time
# stamp makes two builds of the same sources equal byte for byte.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# 32-bit x86 Linux with the host's gcc and its multilib (Debian: g++-multilib):
# the pointer and `long` sizes of the box's 32-bit hosts, on a 64-bit machine
# that runs the programs directly.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
# find_library looks in the i386 folders of the multiarch layout.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

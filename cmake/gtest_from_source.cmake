# GoogleTest built from its sources for the target of this build, for targets
# whose installed libgtest does not fit (Debian's libgtest-dev carries only the
# machine's own architecture, but ships the sources in /usr/src/googletest).
# Gives the same GTest::gtest and GTest::gtest_main as find_package(GTest).
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(NOT EXISTS ${VORN_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "VORN_GTEST_SOURCE_DIR=${VORN_GTEST_SOURCE_DIR} holds no GoogleTest sources")
endif()
add_subdirectory(${VORN_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# gcc 12 sees an overlapping copy in gtest.cc's own string code where there
# is none (GCC bug 105329, at -m32 -O3); the warning is not about this project.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(gtest PRIVATE -Wno-restrict)
endif()

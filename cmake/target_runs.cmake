# Can this machine start the programs of this build's target?
#
# A native build always can.  A 32-bit x86 build on a 64-bit machine only
# where the kernel runs 32-bit programs: some hosts of one machine kind
# refuse them ("Exec format error"), others run them.  A Windows build runs
# its programs under Wine, whose loader is a program of the Windows target's
# width: the 32-bit loader (Debian: wine32:i386) is itself a 32-bit x86
# program and fails the same way on such a host.
#
# The probe runs once, at configure time, and sets
#   VORN_TARGET_RUNS         TRUE or FALSE
#   VORN_TARGET_SKIP_REASON  why not, in words, when FALSE
#   VORN_WINE                the Wine loader of a Windows build
# Tests that would start a program of the target are added through
# vorn_add_target_test(), which adds them as they are where the target runs
# and as a test that ctest reports as skipped, with the reason, elsewhere.
# Nothing is started at build time, so the build itself never fails on a
# machine that cannot run its programs.

math(EXPR vorn_bits "${CMAKE_SIZEOF_VOID_P} * 8")
set(vorn_bits "${vorn_bits}-bit")
set(VORN_TARGET_RUNS TRUE)
set(VORN_TARGET_SKIP_REASON "")

if(WIN32)
  # The loader of the target's width: wine64 for x64, the 32-bit wine for x86.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(VORN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
    set(vorn_wine_package "wine64")
  else()
    find_program(VORN_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    set(vorn_wine_package "wine32:i386 (dpkg --add-architecture i386 first)")
  endif()
  if(NOT VORN_WINE)
    set(VORN_TARGET_RUNS FALSE)
    set(VORN_TARGET_SKIP_REASON "no Wine loader for this target (Debian: ${vorn_wine_package})")
  else()
    execute_process(COMMAND ${VORN_WINE} --version RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE err TIMEOUT 60)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "^wine")
      set(VORN_TARGET_RUNS FALSE)
      string(STRIP "${rc} ${err}" why)
      set(VORN_TARGET_SKIP_REASON
          "this machine does not start the Wine loader ${VORN_WINE}, a ${vorn_bits} x86 program: "
          "'${VORN_WINE} --version' answered '${why}'")
    endif()
  endif()
elseif(CMAKE_CROSSCOMPILING)
  set(probe_dir ${CMAKE_BINARY_DIR}/target_probe)
  try_compile(built ${probe_dir} SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe/runs.c
              COPY_FILE ${probe_dir}/runs OUTPUT_VARIABLE build_log)
  if(NOT built)
    message(FATAL_ERROR "the compiler of this target cannot build a program:\n${build_log}")
  endif()
  execute_process(COMMAND ${probe_dir}/runs RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err TIMEOUT 60)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "^runs ")
    set(VORN_TARGET_RUNS FALSE)
    string(STRIP "${rc} ${err}" why)
    set(VORN_TARGET_SKIP_REASON
        "this machine does not start ${vorn_bits} x86 programs: the probe "
        "${probe_dir}/runs answered '${why}'")
  endif()
endif()

string(CONCAT VORN_TARGET_SKIP_REASON ${VORN_TARGET_SKIP_REASON})
# The reason becomes a test's argument: one line, no list separators.
string(REGEX REPLACE "[;\n\r]+" " " VORN_TARGET_SKIP_REASON "${VORN_TARGET_SKIP_REASON}")

if(VORN_TARGET_RUNS)
  message(STATUS "Programs of this target run here")
else()
  message(STATUS "Programs of this target do not run here; their tests are skipped: "
                 "${VORN_TARGET_SKIP_REASON}")
endif()

# A test of that name that only prints why the target's programs cannot run
# here, and that ctest counts as skipped (neither passed nor failed).
function(vorn_add_skipped_test name)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "skipped: ${VORN_TARGET_SKIP_REASON}")
  set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "^skipped: ")
endfunction()

# add_test(NAME name ARGS...) where the target's programs run, a skipped test
# of that name elsewhere.
function(vorn_add_target_test name)
  if(VORN_TARGET_RUNS)
    add_test(NAME ${name} ${ARGN})
  else()
    vorn_add_skipped_test(${name})
  endif()
endfunction()

# The tool's library lets only the exports and the tool's API through (cmake -P):
#   cmake -DCXX=<compiler> -DFLAGS=<flags> -DLIB=<libvorn_tool_api.a>
#         -DINCLUDE=<include folder> -DSCRATCH=<folder> -P check_sealed.cmake
#
# Small programs as the tool would be written are built against the library:
# one that calls an API entry and an export must link, so that the probes
# below fail for the right reason; each that declares an internal function
# by hand and calls it must fail to link on that very name.

cmake_minimum_required(VERSION 3.25)

separate_arguments(flags UNIX_COMMAND "${FLAGS}")
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})

# Builds `source` as program `name`; sets `linked` and `output` in the caller.
function(build name source)
  file(WRITE ${SCRATCH}/${name}.cpp "${source}")
  execute_process(
    COMMAND ${CXX} ${flags} -std=c++20 -I${INCLUDE} ${SCRATCH}/${name}.cpp ${LIB} -pthread
            -o ${SCRATCH}/${name}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(result EQUAL 0)
    set(linked TRUE PARENT_SCOPE)
  else()
    set(linked FALSE PARENT_SCOPE)
  endif()
  set(output "${out}${err}" PARENT_SCOPE)
endfunction()

build(through_the_api [=[
#include "vorn_tool/api.h"
int main() {
    set_debug(0);
    return vorn::api::tool_name() == nullptr;
}
]=])
if(NOT linked)
  message(FATAL_ERROR "a program that uses only the tool's API does not link:\n${output}")
endif()

# Each probe: its name, the internal function as its layer declares it, and
# the call ("@" stands for the semicolon, which a list cannot hold).
set(probes
  "fill_work_area|namespace vorn { struct table_t@ void fill_work_area(table_t *)@ }|vorn::fill_work_area(nullptr)"
  "global_alloc|namespace vorn::platform { void *global_alloc(decltype(sizeof 0))@ }|vorn::platform::global_alloc(1)"
  "error_text|namespace vorn { const char *error_text(int)@ }|vorn::error_text(0)")
set(failed)
foreach(probe IN LISTS probes)
  string(REPLACE "|" ";" parts "${probe}")
  list(GET parts 0 name)
  list(GET parts 1 declaration)
  list(GET parts 2 call)
  string(REPLACE "@" ";" declaration "${declaration}")
  build(${name} "${declaration}\nint main() {\n    ${call};\n    return 0;\n}\n")
  if(linked)
    list(APPEND failed "${name} links from outside the library")
  elseif(NOT output MATCHES "undefined reference to [`']vorn::(platform::)?${name}\\(")
    list(APPEND failed "${name} fails to build, but not for the missing symbol:\n${output}")
  endif()
endforeach()
if(failed)
  string(REPLACE ";" "\n" failed "${failed}")
  message(FATAL_ERROR "${failed}")
endif()
file(REMOVE_RECURSE ${SCRATCH})

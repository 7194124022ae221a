# Seals the library's merged objects for the tool (cmake -P):
#   cmake -DREADELF=<readelf> -DOBJCOPY=<objcopy> -DINPUT=<merged.o>
#         -DOUTPUT=<sealed.o> -P seal_objects.cmake
#
# Every function and object the library defines with hidden visibility
# becomes local, so that nothing outside the merged object can reach it;
# what stays global is what the library declares visible: the exports and
# the tool's API.  Weak definitions stay as they are: they are the inline
# functions and template instances (the standard library's among them) that
# the tool may hold a copy of too, and the linker keeps one copy of each.

cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${READELF} -sW ${INPUT} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${READELF} cannot read ${INPUT}")
endif()
string(REPLACE ";" "," table "${table}")
string(REPLACE "\n" ";" table "${table}")
set(hidden)
foreach(row IN LISTS table)
  # Num: Value Size Type Bind Vis Ndx Name
  # The PC thunks of 32-bit x86 code (__x86.get_pc_thunk.bx) are hidden
  # but live in section groups that the linker keeps once across objects; a
  # local copy would be discarded under the code that calls it.
  if(row MATCHES "^ *[0-9]+: +[0-9a-f]+ +[0-9a-fx]+ +[A-Z_]+ +GLOBAL +HIDDEN +([0-9]+) +([^ ]+)$")
    set(name "${CMAKE_MATCH_2}")
    if(NOT name MATCHES "^__x86\\.get_pc_thunk\\.")
      string(APPEND hidden "${name}\n")
    endif()
  endif()
endforeach()
if(hidden STREQUAL "")
  message(FATAL_ERROR "${INPUT} defines no hidden symbol: was it built with hidden visibility?")
endif()
file(WRITE ${OUTPUT}.hidden "${hidden}")
execute_process(COMMAND ${OBJCOPY} --localize-symbols=${OUTPUT}.hidden ${INPUT} ${OUTPUT}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJCOPY} cannot seal ${INPUT}")
endif()
file(REMOVE ${OUTPUT}.hidden)

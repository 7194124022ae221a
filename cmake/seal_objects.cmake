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
  if(row MATCHES "^ *[0-9]+: +[0-9a-f]+ +[0-9a-fx]+ +[A-Z_]+ +GLOBAL +HIDDEN +([0-9]+) +([^ ]+)$")
    string(APPEND hidden "${CMAKE_MATCH_2}\n")
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

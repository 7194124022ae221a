# Checks a Windows image with objdump -p.  A DLL must export exactly the 26
# functions of the box's hosts: the names with a leading underscore, at
# ordinals 1 to 26 in byte order of the names.  Every image may import only
# from system DLLs, so that it drops in without a compiler runtime beside it.
# With FORMAT the image must be of that object format (pei-i386 for the
# drop-in, pei-x86-64).
#   cmake -DOBJDUMP=... -DIMAGE=... [-DFORMAT=...] -P check_pe_image.cmake
cmake_minimum_required(VERSION 3.25)
set(expected_exports
  _CodePassWord _DecodePassWord _atoh _cat_number_and_serialno _conf_gettime
  _file_remove _get_Password _get_TmpPath _get_dll_version _get_vorn_b32_dll_version
  _make_fname _merge_logcall _mkalarm _mkconf _mklogcall _mktrace _ptrace
  _remove_hexfile _set_DevInfo _set_Password _set_TmpPath _set_debug
  _set_global_error _set_optimize_ex _set_optimize_files _set_tool_name)
set(system_dlls kernel32.dll msvcrt.dll advapi32.dll version.dll)

execute_process(COMMAND ${OBJDUMP} -p ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${IMAGE} failed")
endif()
string(REPLACE "\n" ";" lines "${dump}")

set(imports)
set(exports)
set(ordinal_base "")
set(address_entries "")
set(in_names FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
    list(APPEND imports "${dll}")
  elseif(line MATCHES "^Ordinal Base[ \t]+([0-9]+)")
    set(ordinal_base ${CMAKE_MATCH_1})
  elseif(address_entries STREQUAL "" AND line MATCHES "Export Address Table[ \t]+([0-9a-fA-F]+)$")
    # The first such line is the count ("Number in:"), the second the address.
    math(EXPR address_entries "0x${CMAKE_MATCH_1}")
  elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]*\\[ *([0-9]+)\\] ([^ \t]+)$")
    # objdump shows each name with its ordinal less the ordinal base.
    list(APPEND exports "${CMAKE_MATCH_1}:${CMAKE_MATCH_2}")
  elseif(in_names AND line STREQUAL "")
    set(in_names FALSE)
  endif()
endforeach()

set(problems "")
if(FORMAT AND NOT dump MATCHES "file format ${FORMAT}\n")
  string(APPEND problems "  the image is not of the format ${FORMAT}\n")
endif()
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST system_dlls)
    string(APPEND problems "  imports from ${dll}, which is no system DLL\n")
  endif()
endforeach()

if(IMAGE MATCHES "\\.[dD][lL][lL]$")
  set(sorted ${expected_exports})
  list(SORT sorted COMPARE STRING CASE SENSITIVE)
  if(NOT sorted STREQUAL expected_exports)
    string(APPEND problems "  the expected names are not in byte order\n")
  endif()
  if(NOT ordinal_base STREQUAL "1")
    string(APPEND problems "  ordinal base is '${ordinal_base}', not 1\n")
  endif()
  if(NOT address_entries STREQUAL "26")
    string(APPEND problems "  the export address table has '${address_entries}' entries, not 26\n")
  endif()
  set(wanted)
  set(index 0)
  foreach(name IN LISTS expected_exports)
    list(APPEND wanted "${index}:${name}")
    math(EXPR index "${index} + 1")
  endforeach()
  list(SORT exports)
  list(SORT wanted)
  if(NOT exports STREQUAL wanted)
    string(REPLACE ";" " " found_text "${exports}")
    string(REPLACE ";" " " wanted_text "${wanted}")
    string(APPEND problems "  exports (ordinal less 1:name) differ\n"
                           "   found:  ${found_text}\n   wanted: ${wanted_text}\n")
  endif()
endif()

if(problems)
  message(FATAL_ERROR "${IMAGE}:\n${problems}")
endif()
list(LENGTH exports n_exports)
string(REPLACE ";" " " import_text "${imports}")
message(STATUS "${IMAGE}: ${n_exports} exports, imports from ${import_text}")

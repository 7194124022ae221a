# Checks that the shared library exports exactly the 26 functions of the
# public header, each under the symbol version VORN_B32_1, and nothing else.
set(expected
  CodePassWord DecodePassWord atoh cat_number_and_serialno conf_gettime
  file_remove get_Password get_TmpPath get_dll_version get_vorn_b32_dll_version
  make_fname merge_logcall mkalarm mkconf mklogcall mktrace ptrace
  remove_hexfile set_DevInfo set_Password set_TmpPath set_debug
  set_global_error set_optimize_ex set_optimize_files set_tool_name)
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_0-9@]+" funcs "${out}")
set(found)
foreach(line ${funcs})
  string(REGEX REPLACE "^[0-9a-f]+ T " "" symbol "${line}")
  list(APPEND found "${symbol}")
endforeach()
set(wanted)
foreach(name ${expected})
  list(APPEND wanted "${name}@@VORN_B32_1")
endforeach()
list(SORT found)
list(SORT wanted)
if(NOT found STREQUAL wanted)
  message(FATAL_ERROR "exported functions differ from the list:\n found: ${found}\n wanted: ${wanted}")
endif()
# The version node itself is an absolute symbol; any other data symbol is a leak.
string(REGEX MATCHALL " [BDRVW] [A-Za-z_0-9@]+" others "${out}")
if(others)
  message(FATAL_ERROR "unexpected exported data symbols: ${others}")
endif()

# The Windows build: Vorn_B32.dll with the export table of the box's hosts
# (module-definition file vorn_b32.def: names with a leading underscore,
# ordinals 1 to 26) and a version resource, vorn.exe with its own, the system
# libraries of the registry and the version API, and the checks of the
# images and of a host program that runs the jobs under Wine.
enable_language(RC)

target_link_libraries(vorn_core PUBLIC advapi32 version)
target_link_libraries(vorn_b32 PRIVATE advapi32 version)

function(vorn_version_resource target file type description)
  set(VORN_RC_FILE ${file})
  set(VORN_RC_NAME ${target})
  set(VORN_RC_TYPE ${type})
  set(VORN_RC_DESCRIPTION "${description}")
  if(NOT PROJECT_VERSION_TWEAK)
    set(PROJECT_VERSION_TWEAK 0)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in
                 ${PROJECT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/${target}_version.rc)
endfunction()

set_target_properties(vorn_b32 PROPERTIES OUTPUT_NAME Vorn_B32 PREFIX "" IMPORT_PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
                      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/vorn_b32.def)
target_sources(vorn_b32 PRIVATE ${PROJECT_SOURCE_DIR}/cmake/vorn_b32.def)
vorn_version_resource(vorn_b32 Vorn_B32.DLL VFT_DLL
                      "Configuration and service library of the Vorn-Box")
vorn_version_resource(vorn vorn.exe VFT_APP "Configuration and service tool of the Vorn-Box")

# The import library lets C and C++ programs link the DLL with the names of
# the header: each function is imported under its exported name with the
# leading underscore ("mkconf == _mkconf").  It replaces the one the linker
# writes, which would name the functions with the underscore.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/vorn_b32.def def_lines REGEX "^[ \t]+_[A-Za-z_0-9]+ = ")
set(import_def "LIBRARY Vorn_B32.dll\nEXPORTS\n")
foreach(line IN LISTS def_lines)
  string(REGEX REPLACE "^[ \t]+(_[A-Za-z_0-9]+) = ([A-Za-z_0-9]+).*$" "    \\2 == \\1" entry "${line}")
  string(APPEND import_def "${entry}\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/vorn_b32_import.def "${import_def}")
add_custom_command(TARGET vorn_b32 POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} --dllname Vorn_B32.dll --def ${PROJECT_BINARY_DIR}/vorn_b32_import.def
          --output-lib $<TARGET_LINKER_FILE:vorn_b32>
  COMMENT "Import library of Vorn_B32.dll with the names of the header")

# ---- checks -------------------------------------------------------------------
enable_testing()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VORN_PE_FORMAT pei-i386)
else()
  set(VORN_PE_FORMAT pei-x86-64)
endif()
add_subdirectory(${PROJECT_SOURCE_DIR}/tests/host ${PROJECT_BINARY_DIR}/tests/host)

# The C host of the test suite, linked through the import library; it sits
# beside the DLL so that Windows finds the DLL when it starts the program.
add_executable(vorn_c_host ${PROJECT_SOURCE_DIR}/tests/c_host.c)
target_link_libraries(vorn_c_host PRIVATE vorn_b32)
target_compile_options(vorn_c_host PRIVATE -Wall -Wextra -Werror)
set_target_properties(vorn_c_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

add_test(NAME pe_export_table_is_the_hosts_one
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DIMAGE=$<TARGET_FILE:vorn_b32>
          -DFORMAT=${VORN_PE_FORMAT} -P ${PROJECT_SOURCE_DIR}/cmake/check_pe_image.cmake)
add_test(NAME pe_tool_needs_only_system_dlls
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DIMAGE=$<TARGET_FILE:vorn>
          -DFORMAT=${VORN_PE_FORMAT} -P ${PROJECT_SOURCE_DIR}/cmake/check_pe_image.cmake)

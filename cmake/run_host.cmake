# Runs the host program tests/host/vorn_host on the job list, each run in a
# fresh folder whose in/ holds the bundled examples and whose out/ receives
# what the jobs write, with the clock pinned and the debug output in a file.
# With WINDOWS_HOST the Windows build runs the same list under Wine and the
# two runs are compared, text outputs apart from their line ends.
# EXTRA_INPUTS names further folders of inputs, copied into in/.
# With TOOL (and WINDOWS_TOOL) the job list's lines of the vorn tool run too.
#   cmake -DHOST=... -DLIB=... -DJOBS=... -DEXAMPLES=... -DWORK=... [-DTOOL=...]
#         [-DWINDOWS_HOST=... -DWINDOWS_LIB=... -DWINDOWS_TOOL=... -DWINE=...
#          -DWINDOWS_C_HOST=...]
#         -P run_host.cmake
foreach(var HOST LIB JOBS EXAMPLES WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_host.cmake needs -D${var}=...")
  endif()
endforeach()

foreach(file HOST LIB)
  if(NOT EXISTS "${${file}}")
    message(FATAL_ERROR "${${file}} is missing: the reference run needs the Linux build "
                        "(cmake --workflow --preset check-release) before the Windows check")
  endif()
endforeach()

# A fixed instant (2026-12-04 14:05:09 UTC) and zone make reports and stamps
# the same in every run.
set(ENV{TZ} UTC)
set(ENV{SOURCE_DATE_EPOCH} 1796393109)
set(ENV{VORN_B32_DEBUG_OUTPUT} debug.log)

function(run_once name launcher host lib tool)
  set(dir ${WORK}/${name})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir}/in ${dir}/out ${dir}/config)
  file(GLOB examples ${EXAMPLES}/*)
  file(COPY ${examples} DESTINATION ${dir}/in)
  # Further inputs (the seed traces of the protocol-trace fuzz target) keep
  # their folder's name under in/.
  foreach(folder IN LISTS EXTRA_INPUTS)
    file(COPY ${folder} DESTINATION ${dir}/in)
  endforeach()
  get_filename_component(lib_name ${lib} NAME)
  configure_file(${lib} ${dir}/${lib_name} COPYONLY)
  configure_file(${JOBS} ${dir}/jobs.txt COPYONLY)
  set(ENV{XDG_CONFIG_HOME} ${dir}/config)
  if(launcher)
    set(lib_arg ".\\${lib_name}")
  else()
    set(lib_arg "./${lib_name}")
  endif()
  execute_process(COMMAND ${launcher} ${host} run ${lib_arg} jobs.txt
    WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc TIMEOUT 300)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${name} host run failed (${rc}); see ${dir}/out/results.txt")
  endif()
  # A debug output that cannot be written sends the host's lines to the
  # fallback file DBG--000.000.
  set(ENV{VORN_B32_DEBUG_OUTPUT} no-such-folder/debug.log)
  execute_process(COMMAND ${launcher} ${host} fallback ${lib_arg}
    WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc TIMEOUT 300)
  set(ENV{VORN_B32_DEBUG_OUTPUT} debug.log)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${dir}/DBG--000.000)
    message(FATAL_ERROR "the ${name} fallback run failed (${rc}) or wrote no DBG--000.000")
  endif()
  if(tool)
    # The job list's lines of the tool: in:NAME and text:/bin:NAME name files
    # as for the host, "> text:NAME" takes standard output.
    file(STRINGS ${JOBS} tool_lines REGEX "^vorn ")
    foreach(line IN LISTS tool_lines)
      separate_arguments(words UNIX_COMMAND "${line}")
      list(REMOVE_AT words 0)
      set(args)
      set(stdout_file)
      set(to_stdout FALSE)
      foreach(word IN LISTS words)
        string(REGEX REPLACE "^in:" "in/" word "${word}")
        string(REGEX REPLACE "^(text|bin):" "out/" word "${word}")
        if(word STREQUAL ">")
          set(to_stdout TRUE)
        elseif(to_stdout)
          set(stdout_file ${dir}/${word})
        else()
          list(APPEND args "${word}")
        endif()
      endforeach()
      if(stdout_file)
        execute_process(COMMAND ${launcher} ${tool} ${args} WORKING_DIRECTORY ${dir}
          OUTPUT_FILE ${stdout_file} RESULT_VARIABLE rc TIMEOUT 120)
      else()
        execute_process(COMMAND ${launcher} ${tool} ${args} WORKING_DIRECTORY ${dir}
          RESULT_VARIABLE rc TIMEOUT 120)
      endif()
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "the ${name} tool failed (${rc}): ${line}")
      endif()
    endforeach()
  endif()
endfunction()

run_once(linux "" ${HOST} ${LIB} "${TOOL}")

if(DEFINED WINDOWS_HOST)
  if(NOT WINE OR NOT EXISTS "${WINE}")
    message(FATAL_ERROR "wine64 is needed to run the Windows host (apt-get install wine64)")
  endif()
  # A prefix of its own keeps the check away from the user's Wine setup; no
  # Mono or Gecko is wanted, and Wine's own messages only hide the host's.
  set(ENV{WINEPREFIX} ${WORK}/wineprefix)
  set(ENV{WINEDEBUG} -all)
  set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
  run_once(windows ${WINE} ${WINDOWS_HOST} ${WINDOWS_LIB} "${WINDOWS_TOOL}")
  if(WINDOWS_C_HOST)
    # A C program linked through the import library, as hosts built against
    # the header are.
    execute_process(COMMAND ${WINE} ${WINDOWS_C_HOST} WORKING_DIRECTORY ${WORK}
      RESULT_VARIABLE rc TIMEOUT 120)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "the C host linked through the import library failed (${rc})")
    endif()
  endif()
  if(WINDOWS_TOOL)
    # Without VORN_B32_DEBUG_OUTPUT the trace goes to the debugger output,
    # which Wine's debugstr channel shows: the version line written at load.
    unset(ENV{VORN_B32_DEBUG_OUTPUT})
    set(ENV{WINEDEBUG} -all,+debugstr)
    execute_process(COMMAND ${WINE} ${WINDOWS_TOOL} --version WORKING_DIRECTORY ${WORK}
      OUTPUT_VARIABLE version ERROR_VARIABLE debugger RESULT_VARIABLE rc TIMEOUT 120)
    set(ENV{WINEDEBUG} -all)
    string(STRIP "${version}" version)
    string(REPLACE "." "\\." version_pattern "${version}")
    if(NOT rc EQUAL 0 OR NOT debugger MATCHES
       "OutputDebugStringA \"\\[DEB\\] \\[[0-9A-F]+\\]\\[[0-9:,]+\\]Vorn_B32\\.DLL:${version_pattern}\\\\n\"")
      message(FATAL_ERROR "no version line at the debugger output (${rc}):\n${debugger}")
    endif()
  endif()
  execute_process(COMMAND ${HOST} compare ${JOBS} ${WORK}/linux ${WORK}/windows --windows
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the Windows run differs from the Linux run")
  endif()
endif()

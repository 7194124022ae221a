# Runs the host program tests/host/vorn_host on its job lists, each run in a
# fresh folder whose in/ holds the bundled examples and whose out/ receives
# what the jobs write, with the clock pinned and the debug output in a file.
# JOBS runs as it is; FALLBACK_JOBS runs with the debug output pointed into a
# missing folder.  The Linux run's results must equal the golden files in
# GOLDEN (VORN_UPDATE_EXAMPLES=1 rewrites them; read the difference before
# committing it).  With WINDOWS_HOST the Windows build runs the same lists
# under Wine and the two runs are compared, text outputs apart from their
# line ends.  DAMAGED and EXTRA_INPUTS name further folders of inputs,
# copied into in/.  Beside the results the script checks what only the
# system shows: the debug switch that loading creates (a file under
# XDG_CONFIG_HOME, the registry under Wine) and the lines of the debug output.
# With TOOL (and WINDOWS_TOOL) the job list's lines of the vorn tool run too.
#   cmake -DHOST=... -DLIB=... -DJOBS=... -DFALLBACK_JOBS=... -DGOLDEN=... -DDAMAGED=...
#         -DEXAMPLES=... -DWORK=... [-DTOOL=...]
#         [-DWINDOWS_HOST=... -DWINDOWS_LIB=... -DWINDOWS_TOOL=... -DWINE=...
#          -DWINE_BITS=4|8 -DWINDOWS_C_HOST=... -DWINDOWS_ORDINAL_HOST=...]
# WINE is the loader of the Windows build's width (wine64, or the 32-bit wine
# for the x86 build); each width gets a Wine prefix of its own.
#         -P run_host.cmake
foreach(var HOST LIB JOBS FALLBACK_JOBS GOLDEN DAMAGED EXAMPLES WORK)
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
  # Further inputs (the damaged files, the seed traces of the protocol-trace
  # fuzz target) keep their folder's name under in/.
  foreach(folder IN LISTS DAMAGED EXTRA_INPUTS)
    file(COPY ${folder} DESTINATION ${dir}/in)
  endforeach()
  get_filename_component(lib_name ${lib} NAME)
  configure_file(${lib} ${dir}/${lib_name} COPYONLY)
  get_filename_component(jobs_name ${JOBS} NAME)
  get_filename_component(fallback_name ${FALLBACK_JOBS} NAME)
  configure_file(${JOBS} ${dir}/${jobs_name} COPYONLY)
  configure_file(${FALLBACK_JOBS} ${dir}/${fallback_name} COPYONLY)
  set(ENV{XDG_CONFIG_HOME} ${dir}/config)
  # The job list's lines "file PATH SOURCE": files that the jobs find made,
  # copies of an input or the text given.
  file(STRINGS ${JOBS} file_lines REGEX "^file ")
  foreach(line IN LISTS file_lines)
    separate_arguments(words UNIX_COMMAND "${line}")
    list(GET words 1 path)
    list(GET words 2 source)
    string(REGEX REPLACE "^(text|bin):" "out/" path "${path}")
    if(source MATCHES "^in:")
      string(REGEX REPLACE "^in:" "${dir}/in/" source "${source}")
      configure_file(${source} ${dir}/${path} COPYONLY)
    else()
      file(WRITE ${dir}/${path} "${source}")
    endif()
  endforeach()
  if(launcher)
    set(lib_arg ".\\${lib_name}")
  else()
    set(lib_arg "./${lib_name}")
  endif()
  if(launcher)
    # The Wine prefix outlives the run: the switch must be the one this run
    # makes.
    execute_process(COMMAND ${launcher} reg delete "HKCU\\SOFTWARE\\KEMAX\\KEMAX.NMS\\Settings"
      /v Vorn_B32_DEBUG /f OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
  endif()
  execute_process(COMMAND ${launcher} ${host} run ${lib_arg} ${jobs_name}
    WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc TIMEOUT 300)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${name} host run failed (${rc}); see ${dir}/out/*-results.txt")
  endif()
  # Loading creates the debug switch, for the user to change.
  set(switch)
  if(launcher)
    execute_process(COMMAND ${launcher} reg query "HKCU\\SOFTWARE\\KEMAX\\KEMAX.NMS\\Settings"
      /v Vorn_B32_DEBUG OUTPUT_VARIABLE switch ERROR_QUIET TIMEOUT 120)
  elseif(EXISTS ${dir}/config/KEMAX/KEMAX.NMS/Settings)
    file(READ ${dir}/config/KEMAX/KEMAX.NMS/Settings switch)
  endif()
  if(NOT switch MATCHES "Vorn_B32_DEBUG(=|[ \t]+REG_DWORD)")
    message(FATAL_ERROR "the ${name} run left no debug switch Vorn_B32_DEBUG:\n${switch}")
  endif()
  # The debug output holds the version line written at load, the host's own
  # line and, on Windows, the line of the stop step that unloading runs (a
  # shared object of the C++ runtime on Linux may stay loaded after dlclose).
  file(READ ${dir}/debug.log trace)
  set(exit_line)
  if(launcher)
    set(exit_line "\\]Vorn_B32\\.DLL:ExitInstance\r?\n")
  endif()
  foreach(line "\\]Vorn_B32\\.DLL:Vorn_B32\\.DLL [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\r?\n"
               "\\]WHOST:host line 7 of vorn_host\r?\n" "${exit_line}")
    if(line AND NOT trace MATCHES "${line}")
      message(FATAL_ERROR "the ${name} debug output ${dir}/debug.log lacks the line ${line}")
    endif()
  endforeach()
  # A debug output that cannot be written sends the host's lines to the
  # fallback file DBG--000.000.
  set(ENV{VORN_B32_DEBUG_OUTPUT} no-such-folder/debug.log)
  execute_process(COMMAND ${launcher} ${host} run ${lib_arg} ${fallback_name}
    WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc TIMEOUT 300)
  set(ENV{VORN_B32_DEBUG_OUTPUT} debug.log)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the ${name} fallback run failed (${rc}); see ${dir}/out/*-results.txt")
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

# The Linux run's results and fallback file, compared whole with the golden
# files.
foreach(file out/jobs-results.txt out/fallback-results.txt DBG--000.000)
  set(actual ${WORK}/linux/${file})
  get_filename_component(name ${file} NAME)
  set(golden ${GOLDEN}/${name})
  if("$ENV{VORN_UPDATE_EXAMPLES}" STREQUAL "1")
    configure_file(${actual} ${golden} COPYONLY)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${golden} ${actual} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    execute_process(COMMAND diff -u ${golden} ${actual})
    message(FATAL_ERROR "${actual} differs from ${golden} "
                        "(VORN_UPDATE_EXAMPLES=1 rewrites the golden file)")
  endif()
endforeach()

if(DEFINED WINDOWS_HOST)
  if(NOT WINE OR NOT EXISTS "${WINE}")
    message(FATAL_ERROR "a Wine loader is needed to run the Windows host "
                        "(Debian: wine64, and wine32:i386 for the x86 build)")
  endif()
  # A prefix of its own keeps the check away from the user's Wine setup; no
  # Mono or Gecko is wanted, and Wine's own messages only hide the host's.
  # The 32-bit loader makes a 32-bit prefix, which needs no 64-bit Wine.
  set(ENV{WINEPREFIX} ${WORK}/wineprefix)
  if(WINE_BITS EQUAL 4)
    set(ENV{WINEARCH} win32)
  endif()
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
  if(WINDOWS_ORDINAL_HOST)
    # The plain C host that finds every export by name and by ordinal and
    # calls each through both, in a folder of its own for the files it makes.
    file(REMOVE_RECURSE ${WORK}/ordinal)
    file(MAKE_DIRECTORY ${WORK}/ordinal)
    execute_process(COMMAND ${WINE} ${WINDOWS_ORDINAL_HOST} WORKING_DIRECTORY ${WORK}/ordinal
      OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc TIMEOUT 120)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "ordinal_host: ok")
      message(FATAL_ERROR "the host calling the exports by name and by ordinal failed (${rc}):\n${out}")
    endif()
    file(GLOB left ${WORK}/ordinal/*)
    list(REMOVE_ITEM left ${WORK}/ordinal/debug.log)
    if(left)
      message(FATAL_ERROR "the ordinal host's calls left files behind: ${left}")
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
    # "vorn 1.0.0.0 (Vorn_B32 library 1.0.0.0)": the library announces its
    # own version at load as "Vorn_B32.DLL 1.0.0.0".
    string(REGEX REPLACE ".*library ([0-9.]+)\\).*" "Vorn_B32.DLL \\1" version "${version}")
    string(REPLACE "." "\\." version_pattern "${version}")
    if(NOT rc EQUAL 0 OR NOT debugger MATCHES
       "OutputDebugStringA \"\\[DEB\\] \\[[0-9A-F]+\\]\\[[0-9:,]+\\]Vorn_B32\\.DLL:${version_pattern}\\\\n\"")
      message(FATAL_ERROR "no version line at the debugger output (${rc}):\n${debugger}")
    endif()
  endif()
  execute_process(COMMAND ${HOST} compare ${WORK}/linux ${WORK}/windows ${JOBS} ${FALLBACK_JOBS}
    --windows RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the Windows run differs from the Linux run")
  endif()
endif()

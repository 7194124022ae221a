# The walls between the layers, checked over the sources (cmake -P):
#   cmake -DROOT=<source tree> -DWALLS=<walls file> -P check_includes.cmake
#   cmake -DWALLS=<walls file> -DSELF_TEST=<scratch folder> -P check_includes.cmake
#
# The walls file (written by cmake/layers.cmake) holds one line per folder of
# src/: "folder=folder,folder,...", the folders its files may include from.
# A quoted include in src/ must name an allowed folder ("table/table.h") or a
# file beside the including one; in tools/ it may name the public header, the
# tool's API (vorn_tool/...) or a file beside it.  No include climbs with
# "../": that would walk around the include folders the layers are built with.
# Every breach is listed as FILE:LINE: TEXT and the script fails.

cmake_minimum_required(VERSION 3.25)
#
# SELF_TEST builds a small tree with known breaches in the scratch folder and
# fails unless exactly those are found, so that a scan that finds nothing
# cannot pass for a clean tree.

file(STRINGS ${WALLS} wall_lines)
foreach(line IN LISTS wall_lines)
  string(REGEX MATCH "^([^=]+)=(.*)$" matched "${line}")
  string(REPLACE "," ";" allowed_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  list(APPEND layer_folders ${CMAKE_MATCH_1} ${allowed_${CMAKE_MATCH_1}})
endforeach()
list(REMOVE_DUPLICATES layer_folders)

# Appends the breaches of the file `path` under `root` to the list `out`.
function(scan_file root path out)
  file(RELATIVE_PATH shown ${root} ${path})
  get_filename_component(dir ${path} DIRECTORY)
  string(REGEX MATCH "^(src|tools|include)/([^/]+)" top "${shown}")
  set(area ${CMAKE_MATCH_1})
  set(folder ${CMAKE_MATCH_2})
  # One list entry per line, each behind a mark so that empty lines count
  # too; the characters that mean something to a list are taken out.
  file(READ ${path} content)
  string(REGEX REPLACE "[][;\\]" "_" content "${content}")
  string(REPLACE "\n" ";|" lines "|${content}")
  set(found ${${out}})
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(SUBSTRING "${line}" 1 -1 line)
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(target ${CMAKE_MATCH_1})
    string(REGEX MATCH "^[^/]+" first "${target}")
    set(why "")
    if(target MATCHES "(^|/)\\.\\./")
      set(why "climbs out of its folder")
    elseif(target STREQUAL "vorn_b32.h")
    elseif(area STREQUAL "include")
      set(why "a public header includes vorn_b32.h and the standard library only")
    elseif(EXISTS ${dir}/${target} AND NOT first IN_LIST layer_folders)
      # A file beside the including one (or in a folder below it).
    elseif(area STREQUAL "tools")
      if(NOT first STREQUAL "vorn_tool")
        set(why "the tool sees only vorn_b32.h and vorn_tool/")
      endif()
    elseif(NOT first IN_LIST layer_folders)
      set(why "names no layer's folder")
    elseif(NOT first IN_LIST allowed_${folder})
      set(why "includes ${first}/, which lies above ${folder}/")
    endif()
    if(why)
      list(APPEND found "${shown}:${number}: ${why}: ${line}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

function(scan_tree root out)
  file(GLOB_RECURSE sources ${root}/src/*.h ${root}/src/*.cpp ${root}/tools/*.h ${root}/tools/*.cpp
       ${root}/include/*.h)
  list(SORT sources)
  set(found)
  foreach(source IN LISTS sources)
    scan_file(${root} ${source} found)
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

if(SELF_TEST)
  set(root ${SELF_TEST})
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/src/table/probe.h "#pragma once\n")
  file(WRITE ${root}/src/table/probe.cpp
       "#include \"table/probe.h\"\n#include \"probe.h\"\n#include \"../conf/x.h\"\n"
       "#include \"conf/check.h\"\n#include \"vorn_b32.h\"\n")
  file(WRITE ${root}/tools/vorn/probe.cpp
       "#include \"vorn_tool/api.h\"\n#include \"frame/frame.h\"\n")
  file(WRITE ${root}/include/vorn_tool/api.h "#include \"vorn_b32.h\"\n#include \"logs/x.h\"\n")
  scan_tree(${root} found)
  set(expected
      "include/vorn_tool/api.h:2: a public header includes vorn_b32.h and the standard library only: #include \"logs/x.h\""
      "src/table/probe.cpp:3: climbs out of its folder: #include \"../conf/x.h\""
      "src/table/probe.cpp:4: includes conf/, which lies above table/: #include \"conf/check.h\""
      "tools/vorn/probe.cpp:2: the tool sees only vorn_b32.h and vorn_tool/: #include \"frame/frame.h\"")
  if(NOT found STREQUAL expected)
    string(REPLACE ";" "\n" found "${found}")
    message(FATAL_ERROR "the scan of the breaches put in found instead:\n${found}")
  endif()
  file(REMOVE_RECURSE ${root})
  return()
endif()

scan_tree(${ROOT} found)
if(found)
  list(LENGTH found count)
  string(REPLACE ";" "\n" found "${found}")
  message("${found}")
  message(FATAL_ERROR "${count} includes through the walls between the layers")
endif()

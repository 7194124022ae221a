# The library in layers.  Each layer is an object library over its folders
# under src/ and may use only its own folders and those of the layers below
# it.  Two things hold that order:
#   - a layer's include directory (build/layers/NAME) holds links to exactly
#     those folders, so an include that points up does not compile;
#   - on ELF systems every layer is also linked once, with the layers below
#     it and nothing else, as a shared object that may leave no symbol
#     undefined, so a call that points up does not link.
# The libraries, the tool and the Windows DLL are assembled from the layers'
# objects (VORN_LAYER_OBJECTS).

set(VORN_LAYER_OBJECTS)
set(VORN_SOURCES)

# vorn_layer(NAME FOLDERS folder... [BELOW layer...] [REACHES folder...])
# BELOW names the layers directly beneath; their own lower layers come along.
# REACHES names include folders outside src/ that the layer implements.
function(vorn_layer name)
  cmake_parse_arguments(L "" "" "FOLDERS;BELOW;REACHES" ${ARGN})
  set(sources)
  foreach(folder IN LISTS L_FOLDERS)
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(name STREQUAL "platform")
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/${VORN_PLATFORM}/*.cpp)
    list(APPEND sources ${found})
  endif()

  set(folders ${L_FOLDERS})
  set(lower)
  foreach(below IN LISTS L_BELOW)
    list(APPEND folders ${VORN_LAYER_FOLDERS_${below}})
    list(APPEND lower ${below} ${VORN_LAYER_LOWER_${below}})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  list(REMOVE_DUPLICATES lower)
  set(VORN_LAYER_FOLDERS_${name} ${folders} PARENT_SCOPE)
  set(VORN_LAYER_LOWER_${name} ${lower} PARENT_SCOPE)

  set(include_dir ${PROJECT_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${include_dir})
  file(MAKE_DIRECTORY ${include_dir})
  foreach(folder IN LISTS folders)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${include_dir}/${folder} SYMBOLIC)
  endforeach()

  add_library(vorn_${name} OBJECT ${sources})
  set_target_properties(vorn_${name} PROPERTIES POSITION_INDEPENDENT_CODE ON
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(vorn_${name} PRIVATE ${PROJECT_SOURCE_DIR}/include ${include_dir})
  target_compile_definitions(vorn_${name} PRIVATE ${VORN_VERSION_DEFINE})
  vorn_warnings(vorn_${name})

  set(objects $<TARGET_OBJECTS:vorn_${name}>)
  foreach(below IN LISTS lower)
    list(APPEND objects $<TARGET_OBJECTS:vorn_${below}>)
  endforeach()
  if(NOT WIN32 AND NOT VORN_SANITIZE AND NOT VORN_SANITIZE_THREAD)
    add_library(vorn_${name}_closed SHARED ${objects})
    target_link_libraries(vorn_${name}_closed PRIVATE Threads::Threads)
    target_link_options(vorn_${name}_closed PRIVATE -Wl,--no-undefined)
    set_target_properties(vorn_${name}_closed PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/layers)
  endif()

  # The walls file of cmake/check_includes.cmake: what each folder may include.
  set(reachable ${folders} ${L_REACHES})
  list(JOIN reachable "," reachable)
  foreach(folder IN LISTS L_FOLDERS)
    set_property(GLOBAL APPEND PROPERTY VORN_WALLS "${folder}=${reachable}")
  endforeach()

  set(VORN_LAYER_OBJECTS ${VORN_LAYER_OBJECTS} $<TARGET_OBJECTS:vorn_${name}> PARENT_SCOPE)
  set(VORN_SOURCES ${VORN_SOURCES} ${sources} PARENT_SCOPE)
endfunction()

# From the operating system up to the boundary.  tabletext, parser, optimize
# and writer form one tier, ordered inside: the parser keys use the map
# texts, the optimizer splits period lines with the parser, the writer
# prints maps in the optimizer's order.
vorn_layer(platform FOLDERS platform)
vorn_layer(trace FOLDERS trace BELOW platform)
vorn_layer(frame FOLDERS frame BELOW trace)
vorn_layer(table FOLDERS table BELOW frame)
vorn_layer(tabletext FOLDERS tabletext BELOW table)
vorn_layer(parser FOLDERS parser BELOW tabletext)
vorn_layer(optimize FOLDERS optimize BELOW parser)
vorn_layer(writer FOLDERS writer BELOW optimize)
vorn_layer(conf FOLDERS conf BELOW writer)
vorn_layer(logs FOLDERS logs BELOW frame)
vorn_layer(exports FOLDERS exports BELOW conf logs)
vorn_layer(report FOLDERS report BELOW conf logs)
vorn_layer(api FOLDERS api BELOW report REACHES vorn_tool)

get_property(walls GLOBAL PROPERTY VORN_WALLS)
string(REPLACE ";" "\n" walls "${walls}")
file(WRITE ${PROJECT_BINARY_DIR}/layers/walls.txt "${walls}\n")

# One library per folder of src/, linked only along the arrows given by DEPS.
#
#   brindle_layer(FOLDER [DEPS folder...] SOURCES file...)
#
# makes the object library brindle_<FOLDER>. Its sources see, on their include path, only a view
# of src/ that holds their own folder and the folders they may use (DEPS and, through them,
# what those use): <build>/layers/<FOLDER>/<folder> -> src/<folder>. An include of any other
# folder, "plugin/brindle.h" from src/sdm say, finds no file and the build fails.

set(BRINDLE_LAYERS "" CACHE INTERNAL "")

function(brindle_layer folder)
  cmake_parse_arguments(L "" "" "DEPS;SOURCES" ${ARGN})
  set(visible ${folder})
  foreach(dep IN LISTS L_DEPS)
    if(NOT TARGET brindle_${dep})
      message(FATAL_ERROR "src/${folder} uses src/${dep}, which is not declared before it")
    endif()
    get_property(dep_visible GLOBAL PROPERTY brindle_layer_visible_${dep})
    list(APPEND visible ${dep_visible})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  set_property(GLOBAL PROPERTY brindle_layer_visible_${folder} ${visible})

  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(v IN LISTS visible)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${v} ${view}/${v} SYMBOLIC COPY_ON_ERROR)
  endforeach()

  set(sources "")
  foreach(source IN LISTS L_SOURCES)
    list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
  add_library(brindle_${folder} OBJECT ${sources})
  target_include_directories(brindle_${folder} PRIVATE ${view})
  target_compile_definitions(brindle_${folder} PRIVATE BRINDLE_BUILDING_LIBRARY)
  target_link_libraries(brindle_${folder} PUBLIC brindle_flags PRIVATE brindle_warnings)
  set_property(GLOBAL APPEND PROPERTY BRINDLE_LAYER_TARGETS brindle_${folder})
endfunction()

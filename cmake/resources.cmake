# The two files the host loads beside the plug-in library: the help page (HelpFolder/) and the
# dialog script (Brindle.js). Every build copies them next to the library when they changed,
# so the build folder holds what an installation holds: libbrindle.so, Brindle.js and
# HelpFolder/index.html. (A custom target, not an OUTPUT rule: the library's folder is only
# known per configuration, through $<TARGET_FILE_DIR:brindle>.)
set(BRINDLE_RESOURCE_FILES
  Brindle.js
  HelpFolder/index.html
)

set(brindle_resource_commands)
foreach(resource IN LISTS BRINDLE_RESOURCE_FILES)
  get_filename_component(folder ${resource} DIRECTORY)
  list(APPEND brindle_resource_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:brindle>/${folder}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/${resource} $<TARGET_FILE_DIR:brindle>/${resource})
endforeach()

add_custom_target(brindle_resources ALL
  ${brindle_resource_commands}
  COMMENT "Placing Brindle.js and HelpFolder/ beside the plug-in library"
  VERBATIM)
add_dependencies(brindle brindle_resources)

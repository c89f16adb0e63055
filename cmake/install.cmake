# What `cmake --install` puts under the prefix, and the packages `cpack` makes of it.
#
# POSIX (a .tar.gz):
#   bin/Tormel, bin/sdmgen
#   lib/brindle/libbrindle.so, lib/brindle/Brindle.js, lib/brindle/HelpFolder/index.html
#   share/man/man1/Tormel.1 (made from Tormel --help and --version with help2man, when there)
#   share/doc/brindle/LICENSE
# The installed Tormel finds the plug-in in ../lib/brindle/ from its own folder.
#
# Windows (a .zip): the host's plug-in folder as it wants it, at the top of the archive:
#   brindle.dll, Brindle.js, HelpFolder/index.html, LICENSE
# (Tormel.exe and sdmgen.exe are for testing and stay in the build folder.)

if(WIN32)
  set(brindle_plugin_destination .)
  # The DLL only: no import library, which the host has no use for.
  install(FILES $<TARGET_FILE:brindle> DESTINATION ${brindle_plugin_destination})
else()
  set(brindle_plugin_destination lib/brindle)
  install(TARGETS Tormel sdmgen RUNTIME DESTINATION bin)
  install(TARGETS brindle LIBRARY DESTINATION ${brindle_plugin_destination})
endif()
foreach(resource IN LISTS BRINDLE_RESOURCE_FILES)
  get_filename_component(folder ${resource} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${resource} DESTINATION ${brindle_plugin_destination}/${folder})
endforeach()

# The licence (MIT) goes with every package: beside the documentation on POSIX, beside the
# plug-in in the Windows package, whose top is the host's plug-in folder.
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${brindle_plugin_destination})
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/brindle)
endif()

# The man page, from the --help of the freshly built Tormel (tormel/Tormel.h2m adds the roff
# that --help cannot say). The version is given, not asked: --version loads the plug-in and
# prints its version too, which does not belong in the page. Made on the build machine only,
# and only when help2man is there.
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  find_program(BRINDLE_HELP2MAN help2man)
  if(BRINDLE_HELP2MAN)
    set(brindle_man_page ${CMAKE_BINARY_DIR}/man/Tormel.1)
    add_custom_command(OUTPUT ${brindle_man_page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${BRINDLE_HELP2MAN} --no-info --section 1
              --name "headless stand-in host that runs the Brindle plug-in's tasks"
              --version-string "Tormel (Brindle) ${PROJECT_VERSION}"
              --include ${PROJECT_SOURCE_DIR}/tormel/Tormel.h2m
              --output ${brindle_man_page} $<TARGET_FILE:Tormel>
      DEPENDS Tormel ${PROJECT_SOURCE_DIR}/tormel/Tormel.h2m
      COMMENT "Making the man page of Tormel with help2man"
      VERBATIM)
    add_custom_target(tormel_man ALL DEPENDS ${brindle_man_page})
    install(FILES ${brindle_man_page} DESTINATION share/man/man1)
  else()
    message(STATUS "help2man not found: no man page for Tormel (scripts/install-deps installs it)")
  endif()
endif()

set(CPACK_PACKAGE_NAME Brindle)
set(CPACK_PACKAGE_VENDOR Brindle)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Brindle: merging of single-study design matrices and their correlation reports")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# What `cmake --install` puts under the prefix, and the packages `cpack` makes of it.
#
# POSIX (a .tar.gz):
#   bin/Tormel, bin/sdmgen, bin/brindle-bids
#   lib/brindle/libbrindle.so, lib/brindle/Brindle.js, lib/brindle/HelpFolder/index.html
#   share/man/man1/Tormel.1, share/man/man1/sdmgen.1, share/man/man1/brindle-bids.1 (from man/)
#   share/doc/brindle/LICENSE
# The installed Tormel finds the plug-in in ../lib/brindle/ from its own folder; brindle-bids
# finds Tormel beside itself.
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
  install(TARGETS Tormel sdmgen brindle-bids RUNTIME DESTINATION bin)
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

# The man pages, written by hand in man/ (tests/man checks them against the programs).
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/man/Tormel.1 ${PROJECT_SOURCE_DIR}/man/sdmgen.1
          ${PROJECT_SOURCE_DIR}/man/brindle-bids.1 DESTINATION share/man/man1)
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

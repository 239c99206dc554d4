# What `cmake --install` puts where (the prefix defaults to /usr/local):
#
#   lib/tonemender/      the window program, tonemender-check, the registry importer and
#                        libtmaudiomanager.so - together, since each program looks for the
#                        library and the importer beside its own file
#   bin/tonemender, bin/tonemender-check
#                        relative links into lib/tonemender; a program started through one
#                        still finds its folder, which it reads from /proc/self/exe
#   share/applications/tonemender.desktop, share/icons/hicolor/<n>x<n>/apps/tonemender.png
#
# Nothing links against our own shared object (it is opened by path at run time), so the
# installed files need no RPATH.
include(GNUInstallDirs)

set(tm_private_dir ${CMAKE_INSTALL_LIBDIR}/tonemender)
set(tm_commands tonemender-check)
if(TARGET tonemender)
  list(PREPEND tm_commands tonemender)
endif()

install(TARGETS ${tm_commands} tonemender-regimport RUNTIME DESTINATION ${tm_private_dir})
install(TARGETS tmaudiomanager LIBRARY DESTINATION ${tm_private_dir})

# The links are made in the build tree and installed as links.
set(tm_link_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${tm_link_dir})
foreach(command IN LISTS tm_commands)
  file(RELATIVE_PATH target "/${CMAKE_INSTALL_BINDIR}" "/${tm_private_dir}/${command}")
  file(CREATE_LINK ${target} ${tm_link_dir}/${command} SYMBOLIC)
  install(FILES ${tm_link_dir}/${command} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# The desktop entry names the program by its full path under the prefix the install is made
# for, which `cmake --install --prefix` may change after configuring: so it is written then.
set(tm_desktop_template ${PROJECT_SOURCE_DIR}/resources/desktop/tonemender.desktop.in)
set(tm_desktop_entry ${CMAKE_BINARY_DIR}/install-desktop/tonemender.desktop)
install(CODE "
  set(exec \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tonemender\")
  set(command \"\${exec}\")
  if(command MATCHES \" \")
    set(command \"\\\"\${exec}\\\"\")
  endif()
  file(READ \"${tm_desktop_template}\" entry)
  string(REPLACE \"\nExec=@TONEMENDER_EXEC@\" \"\nExec=\${command}\" entry \"\${entry}\")
  string(REPLACE \"@TONEMENDER_EXEC@\" \"\${exec}\" entry \"\${entry}\")
  file(WRITE \"${tm_desktop_entry}\" \"\${entry}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
       TYPE FILE FILES \"${tm_desktop_entry}\")
")

foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/icons/tonemender-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tonemender.png)
endforeach()

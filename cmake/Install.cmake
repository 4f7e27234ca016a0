# What `make install` (and the Debian package, which holds the same files)
# puts in place: the two programs, the stand-in service the demo starts
# (beside them, in libexec), the desktop file that makes tessaly the handler
# of tessaly:// addresses, the icon in the hicolor theme at every size plus
# its SVG source, the AppStream data, the manual pages, the bash completion
# of tessaly-cli, the systemd user units of the nightly backup, and the
# package's copyright and changelog.
include(GNUInstallDirs)

set(TESSALY_LIBEXEC_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tessaly)
set(TESSALY_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tessaly)
install(TARGETS tessaly-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS fakeflickr RUNTIME DESTINATION ${TESSALY_LIBEXEC_DIR})
if(TESSALY_GUI)
  install(TARGETS tessaly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/tessaly.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(edge IN LISTS TESSALY_ICON_SIZES)
    install(FILES ${TESSALY_IMAGES_DIR}/hicolor/${edge}x${edge}/apps/tessaly.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${edge}x${edge}/apps)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/images/tessaly.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Software centres read it; the screenshots are published under the homepage.
  configure_file(${CMAKE_SOURCE_DIR}/resources/metainfo/org.example.tessaly.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/metainfo/org.example.tessaly.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/metainfo/org.example.tessaly.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

install(FILES ${TESSALY_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/resources/completion/tessaly-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tessaly-cli)

# The backup service names tessaly-cli where this install puts it, and the
# prefix is known only when installing (make install PREFIX=..., or /usr for
# the package): the unit is written then, apart for each prefix.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  set(cliPath "${CMAKE_INSTALL_BINDIR}/tessaly-cli")
else()
  set(cliPath "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessaly-cli")
endif()
install(CODE "
  set(TESSALY_CLI \"${cliPath}\")
  string(MD5 prefixHash \"\${CMAKE_INSTALL_PREFIX}\")
  set(unitDir \"${CMAKE_BINARY_DIR}/systemd/\${prefixHash}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/resources/systemd/tessaly-backup.service.in\"
                 \"\${unitDir}/tessaly-backup.service\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\" TYPE FILE
       FILES \"\${unitDir}/tessaly-backup.service\")
")
install(FILES ${CMAKE_SOURCE_DIR}/resources/systemd/tessaly-backup.timer
        DESTINATION lib/systemd/user)

# Debian keeps a package's copyright and changelog in /usr/share/doc/tessaly.
set(TESSALY_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(
  OUTPUT ${TESSALY_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND sh -c "gzip -9n < '${TESSALY_CHANGELOG}' > '${TESSALY_CHANGELOG_GZ}'"
  DEPENDS ${TESSALY_CHANGELOG}
  VERBATIM)
add_custom_target(tessaly_changelog ALL DEPENDS ${TESSALY_CHANGELOG_GZ})
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${TESSALY_CHANGELOG_GZ}
        DESTINATION ${TESSALY_DOC_DIR})

# The installed tessaly finds the service relative to itself.
file(RELATIVE_PATH TESSALY_LIBEXEC_FROM_BIN
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${TESSALY_LIBEXEC_DIR})
if(TESSALY_GUI)
  target_compile_definitions(tessaly_ui PRIVATE TESSALY_LIBEXEC_FROM_BIN="${TESSALY_LIBEXEC_FROM_BIN}")
endif()

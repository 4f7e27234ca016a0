# What `make install` puts in place: the two programs, the stand-in service
# the demo starts (beside them, in libexec), the desktop file that makes
# tessaly the handler of tessaly:// addresses, and the icon in the hicolor
# theme at every size plus its SVG source.
include(GNUInstallDirs)

set(TESSALY_LIBEXEC_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tessaly)
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
endif()

# The installed tessaly finds the service relative to itself.
file(RELATIVE_PATH TESSALY_LIBEXEC_FROM_BIN
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${TESSALY_LIBEXEC_DIR})
if(TESSALY_GUI)
  target_compile_definitions(tessaly_ui PRIVATE TESSALY_LIBEXEC_FROM_BIN="${TESSALY_LIBEXEC_FROM_BIN}")
endif()

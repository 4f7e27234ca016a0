# The manual pages: resources/man/NAME.1.scd, in scdoc's plain-text format,
# become NAME.1.gz at build time (the target tessaly_man_pages); the version
# and the release date are this build's. TESSALY_MAN_PAGES lists the results.
find_program(SCDOC_PROGRAM scdoc)
find_program(GZIP_PROGRAM gzip)
set(TESSALY_MAN_PAGES "")
if(NOT SCDOC_PROGRAM OR NOT GZIP_PROGRAM)
  message(WARNING "scdoc or gzip is missing (make deps installs them): no manual pages")
  return()
endif()

set(pages tessaly-cli)
if(TESSALY_GUI)
  list(APPEND pages tessaly)
endif()
set(VERSION ${PROJECT_VERSION})
foreach(page IN LISTS pages)
  set(source ${CMAKE_BINARY_DIR}/man/${page}.1.scd)
  set(page1 ${CMAKE_BINARY_DIR}/man/${page}.1)
  configure_file(${CMAKE_SOURCE_DIR}/resources/man/${page}.1.scd ${source} @ONLY)
  add_custom_command(
    OUTPUT ${page1}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TESSALY_RELEASE_EPOCH}
            sh -c "'${SCDOC_PROGRAM}' < '${source}' > '${page1}' || { rm -f '${page1}'; exit 1; }"
    COMMAND ${GZIP_PROGRAM} -9nf ${page1}
    DEPENDS ${source}
    COMMENT "Writing the manual page ${page}(1)"
    VERBATIM)
  list(APPEND TESSALY_MAN_PAGES ${page1}.gz)
endforeach()
add_custom_target(tessaly_man_pages ALL DEPENDS ${TESSALY_MAN_PAGES})

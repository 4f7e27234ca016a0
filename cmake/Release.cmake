# This version's release, read from the newest entry of resources/debian/changelog
# (the package's changelog): its date for the AppStream release and the
# manual pages, and its items as the release notes. A new version starts with
# a new entry on top of that file.
#   TESSALY_RELEASE_DATE   2026-12-06
#   TESSALY_RELEASE_EPOCH  seconds since 1970 (SOURCE_DATE_EPOCH of the pages)
#   TESSALY_RELEASE_NOTES  the items as XML <li> elements
set(TESSALY_CHANGELOG ${CMAKE_SOURCE_DIR}/resources/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TESSALY_CHANGELOG})
file(STRINGS ${TESSALY_CHANGELOG} changelogLines)

list(GET changelogLines 0 header)
if(NOT header MATCHES "^tessaly \\(([^)]+)\\) ")
  message(FATAL_ERROR "${TESSALY_CHANGELOG}: the first line is not an entry's header: ${header}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "${TESSALY_CHANGELOG}: the newest entry is version ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION} on top.")
endif()

set(TESSALY_RELEASE_NOTES "")
set(item "")
macro(tessaly_add_release_item)
  if(NOT item STREQUAL "")
    string(REPLACE "&" "&amp;" item "${item}")
    string(REPLACE "<" "&lt;" item "${item}")
    string(REPLACE ">" "&gt;" item "${item}")
    string(APPEND TESSALY_RELEASE_NOTES "<li>${item}</li>")
  endif()
endmacro()
foreach(line IN LISTS changelogLines)
  if(line MATCHES "^ -- .*>  (.+)$")
    set(trailerDate "${CMAKE_MATCH_1}")
    break()
  elseif(line MATCHES "^  \\* (.*)$")
    tessaly_add_release_item()
    set(item "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^    +(.*)$")
    string(APPEND item " ${CMAKE_MATCH_1}")
  endif()
endforeach()
tessaly_add_release_item()
if(NOT trailerDate)
  message(FATAL_ERROR "${TESSALY_CHANGELOG}: the newest entry has no ' -- NAME <ADDRESS>  DATE' line")
endif()
execute_process(COMMAND date -u -d "${trailerDate}" +%Y-%m-%d OUTPUT_VARIABLE TESSALY_RELEASE_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE dateStatus)
execute_process(COMMAND date -u -d "${trailerDate}" +%s OUTPUT_VARIABLE TESSALY_RELEASE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT dateStatus EQUAL 0)
  message(FATAL_ERROR "${TESSALY_CHANGELOG}: cannot read the date ${trailerDate}")
endif()

# Installs the build into a scratch DESTDIR and checks what arrived.
# cmake -DBUILD_DIR=... -DDEST=... -DGUI=ON|OFF -P CheckInstall.cmake
file(REMOVE_RECURSE ${DEST})
set(ENV{DESTDIR} ${DEST})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected usr/bin/tessaly-cli usr/libexec/tessaly/fakeflickr)
if(GUI)
  list(APPEND expected usr/bin/tessaly usr/share/applications/tessaly.desktop
       usr/share/icons/hicolor/48x48/apps/tessaly.png
       usr/share/icons/hicolor/256x256/apps/tessaly.png
       usr/share/icons/hicolor/scalable/apps/tessaly.svg)
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${DEST}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(program usr/bin/tessaly-cli usr/libexec/tessaly/fakeflickr)
  execute_process(COMMAND test -x ${DEST}/${program} RESULT_VARIABLE notExecutable)
  if(notExecutable)
    message(FATAL_ERROR "not executable: ${program}")
  endif()
endforeach()
if(GUI)
  file(READ ${DEST}/usr/share/applications/tessaly.desktop desktop)
  foreach(line "Exec=tessaly %u" "Icon=tessaly" "MimeType=x-scheme-handler/tessaly;")
    string(FIND "${desktop}" "${line}" at)
    if(at LESS 0)
      message(FATAL_ERROR "tessaly.desktop lacks ${line}")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE ${DEST})

# Installs Pixvue as a desktop application and a set of command-line tools: the programs, a man
# page each, bash completion for the tools, the menu entry, the icon in every hicolor size, the
# AppStream metadata and the copyright file, each where desktops, software centres, man and bash
# look. Then configures `cpack -G DEB` (see Package.cmake).
include(GNUInstallDirs)

set(PIXVUE_APP_ID org.pixvue.Pixvue)
set(PIXVUE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(PIXVUE_ICON_SIZES 16 32 48 64 128 256)

# The viewer, and the command-line tools with their bash completion.
set(PIXVUE_TOOLS pixvue-export pixvue-scan)
set(PIXVUE_PROGRAMS pixvue ${PIXVUE_TOOLS})

install(TARGETS ${PIXVUE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages are installed compressed, as Debian's policy asks; gzip -n keeps them reproducible.
set(man_pages)
foreach(program IN LISTS PIXVUE_PROGRAMS)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9n -c ${PIXVUE_PACKAGING_DIR}/man/${program}.1 > ${page}
    DEPENDS ${PIXVUE_PACKAGING_DIR}/man/${program}.1
    COMMENT "Compressing the man page of ${program}")
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(pixvue_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

foreach(tool IN LISTS PIXVUE_TOOLS)
  install(FILES ${PIXVUE_PACKAGING_DIR}/completions/${tool}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endforeach()

install(FILES ${PIXVUE_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PIXVUE_PACKAGING_DIR}/${PIXVUE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PIXVUE_PACKAGING_DIR}/${PIXVUE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS PIXVUE_ICON_SIZES)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/pixvue-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${PIXVUE_APP_ID}.png)
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)

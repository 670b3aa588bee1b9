# Installs Pixvue as a desktop application: the program, its menu entry, its icon in every
# hicolor size and its AppStream metadata, each where desktops and software centres look.
# Then configures `cpack -G DEB` (see Package.cmake).
include(GNUInstallDirs)

set(PIXVUE_APP_ID org.pixvue.Pixvue)
set(PIXVUE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(PIXVUE_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS pixvue RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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

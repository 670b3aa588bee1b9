# `make package` (cpack -G DEB in the build directory): a Debian package of what Install.cmake
# installs, under /usr, with the programs stripped and its library dependencies worked out by
# dpkg-shlibdeps, so the package asks for exactly the Qt and C++ runtime it was linked against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pixvue)
set(CPACK_PACKAGE_VENDOR "Pixvue")
set(CPACK_PACKAGE_CONTACT "Pixvue developers <dev@pixvue.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for raw 15-bit pictures inside any file")
# The long description, wrapped for `apt show`.
set(CPACK_PACKAGE_DESCRIPTION
    "Pixvue shows pictures stored as raw 15-bit pixels anywhere inside any file:\n\
game data, memory dumps, firmware images. Choose a file, type a byte address,\n\
a width and a height, and look; then page, step byte by byte, click to\n\
re-anchor, zoom and jump to bookmarks. It only ever reads your files.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://pixvue.org")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Qt platform plugin is loaded at run time, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Without Qt's Wayland plugin the viewer still runs on a Wayland desktop, through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

include(CPack)

# packaging.cmake - `cpack -G DEB` in a build folder makes a Debian package of the install.
set(CPACK_PACKAGE_NAME zor)
set(CPACK_PACKAGE_VENDOR "The ZOR developers")
set(CPACK_PACKAGE_CONTACT "The ZOR developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file archiver with its own block-sorting compressor")
set(CPACK_PACKAGE_DESCRIPTION
    "ZOR packs files and folders into .zor archives, optionally protected by a password, and browses, tests and unpacks them, in a window (zor) or from the command line (zor-cli).")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://zor-archiver.sourceforge.io/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET zor)
  # The window's icons are SVG pictures, drawn by Qt's SVG plugins. The program uses no
  # symbol of the SVG library, so the linker drops it and dpkg-shlibdeps cannot see it.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
endif()

include(CPack)

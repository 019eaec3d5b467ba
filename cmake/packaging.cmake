# A Debian package of what `cmake --install` installs (scripts/package makes
# it from a stripped Release build): `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME zephran-loader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zephran fans")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher for the game Zephran")
set(CPACK_PACKAGE_DESCRIPTION
    "Zephran Loader+ sets the display options of the game Zephran (resolution, colour depth,\n\
windowed, cinemascope and subtitle modes), picks one of its eight save slots and starts\n\
the game under Wine. Put a copy beside the game's zephran.ini with zephran-loader-setup,\n\
which also gives that copy a menu entry.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zephran fans <zephran-fans@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The Qt libraries come from dpkg-shlibdeps; the read-me link opens the
# desktop's viewer through xdg-open. The faces are carried in the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# The game itself is a Windows program.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine")

include(CPack)

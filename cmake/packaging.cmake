# A Debian package of what `cmake --install` installs (scripts/package makes
# it from a stripped Release build with the programs in /usr/games, where
# Debian puts games and their launchers): `cpack -G DEB` in the build folder.
include(GNUInstallDirs)

# Folders made by the install get these modes whatever the umask of whoever
# builds the package; files have theirs from install() already.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# What Debian's checker asks of every package beside the programs: the
# changelog and a manual page for each command, compressed without a time
# stamp so that the same sources give the same package.
# The manual pages name the project's version.
set(zephran_packaging_out ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(zephran_compressed_docs "")
foreach(source changelog man/zephran-loader.6 man/zephran-loader-setup.6)
  get_filename_component(name ${source} NAME)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${source} ${zephran_packaging_out}/${name} @ONLY)
  set(compressed ${zephran_packaging_out}/${name}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND gzip -9n -c ${zephran_packaging_out}/${name} > ${compressed}
    DEPENDS ${zephran_packaging_out}/${name}
    VERBATIM)
  list(APPEND zephran_compressed_docs ${compressed})
endforeach()
add_custom_target(zephran-package-docs ALL DEPENDS ${zephran_compressed_docs})

install(FILES ${zephran_packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zephran-loader)
install(FILES ${zephran_packaging_out}/zephran-loader.6.gz
              ${zephran_packaging_out}/zephran-loader-setup.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# A stripped install also drops the compiler's notes, as Debian's own
# packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(
      COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zephran-loader\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")

set(CPACK_PACKAGE_NAME zephran-loader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zephran fans")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher for the game Zephran")
set(CPACK_PACKAGE_DESCRIPTION
    "Zephran Loader+ sets the display options of the game Zephran (resolution,\n\
colour depth, windowed, cinemascope and subtitle modes), picks one of its\n\
eight save slots and starts the game under Wine. Put a copy beside the\n\
game's zephran.ini with zephran-loader-setup, which also gives that copy a\n\
menu entry.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zephran fans <zephran-fans@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The Qt libraries come from dpkg-shlibdeps; the read-me link opens the
# desktop's viewer through xdg-open; SDL, for gamepads, is loaded when the
# window first shows (ui/sdl_pad.cpp), so dpkg-shlibdeps cannot see it. The
# faces are carried in the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, libsdl2-2.0-0")
# The game itself is a Windows program.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine")

include(CPack)

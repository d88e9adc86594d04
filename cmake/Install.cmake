# What `cmake --install <build> --prefix P` puts where, and the packages CPack makes of it
# (scripts/package.sh runs both).
#   Linux:   P/bin/lumbrake-cd, the window module in P/lib/lumbrake-cd/ (the program finds it
#            from its own folder), the manual page in P/share/man/man1/ and the README in
#            P/share/doc/lumbrake-cd/; a Debian package.
#   Windows: the .exe and the README side by side; a .zip.
set(CPACK_PACKAGE_NAME lumbrake-cd)
set(CPACK_PACKAGE_VENDOR "${LUMBRAKE_VENDOR}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/pkg)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS lumbrake-cd RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME lumbrake-cd-${PROJECT_VERSION}-win64)
else()
  install(TARGETS lumbrake-cd RUNTIME DESTINATION ${LUMBRAKE_INSTALL_BINDIR})
  if(TARGET lumbrake_qt)
    # A module that is loaded, not run: not executable, as Debian wants its libraries.
    install(TARGETS lumbrake_qt LIBRARY DESTINATION ${LUMBRAKE_INSTALL_MODULEDIR}
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  configure_file(docs/lumbrake-cd.1.in lumbrake-cd.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/lumbrake-cd.1 DESTINATION share/man/man1)
  install(FILES README.md DESTINATION share/doc/lumbrake-cd)

  # The Debian package: the terminal line needs only the C and C++ runtimes; the window's Qt
  # libraries are recommended, since the window is loaded only where a display answers.
  # scripts/package.sh fills in the dependencies as dpkg-shlibdeps finds them.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMBRAKE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "LumbrakeCD copies a folder tree of map data from a distribution disc to a
destination folder while a small window, or without a display one terminal
line, shows what is being copied, a progress bar counted in bytes and a
Cancel button.

It never replaces a file that already exists at the destination and never
leaves a half-written file behind: a copy receives its name only once all of
its data is on disk.")
  # Debian's own files (copyright, changelog, lintian overrides), the manual page compressed
  # and the programs stripped as Debian does: in the package's tree only.
  set(CPACK_LUMBRAKE_PACKAGE_FILES ${PROJECT_SOURCE_DIR}/cmake/package)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/debian.cmake)
endif()
include(CPack)

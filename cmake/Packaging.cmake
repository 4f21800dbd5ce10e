# What an install holds besides the programs (manual pages, shell completion, AppStream metadata,
# the Debian documentation files) and the Debian package CPack makes of it:
#   cpack -G DEB --config build/CPackConfig.cmake      (writes build/package/qvr_*.deb)
# after building the programs (scripts/package does both). Debian wants manual pages and the changelog compressed, so the
# build writes them gzipped, without a time stamp, into its man/ and doc/ folders.
find_program(QVR_GZIP gzip REQUIRED)
set(QVR_MANUALS qvr.1 qvrdb.1 qvr-plugin-host.1)
set(compressed "")
foreach(page IN LISTS QVR_MANUALS)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND ${QVR_GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
                     DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page})
  list(APPEND compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
                   COMMAND ${QVR_GZIP} -9nc ${PROJECT_SOURCE_DIR}/resources/debian/changelog > ${CMAKE_BINARY_DIR}/doc/changelog.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog)
add_custom_target(install_documents ALL DEPENDS ${compressed} ${CMAKE_BINARY_DIR}/doc/changelog.gz)

# The program's manual pages are Japanese, as the program is whatever the locale, so they stand
# where `man qvr` finds them in every locale.
install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/qvrdb DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/io.github.qvrproject.qvr.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qvr)

set(QVR_PACKAGE_MAINTAINER "QVR Project <qvr@qvrproject.github.io>" CACHE STRING "The Debian package's maintainer")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvr)
set(CPACK_PACKAGE_VENDOR "QVR Project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QVR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio CD player with timed lyrics and a Japanese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "QVR plays audio CDs and CD images (cue sheets, cdrdao TOC files, Nero\n"
    "images), remembers every disc it has seen in its own database, shows the\n"
    "title and timed lyrics on a screen-wide line and lives in the notification\n"
    "area. Disc titles come from its database, CD-Text, MusicBrainz or gnudb;\n"
    "media keys work through MPRIS.\n"
    "Its user interface is Japanese.\n"
    "\n"
    "The package holds the player, the database tool qvrdb and a demo disc.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages come from dpkg-shlibdeps; Qt's platform plug-ins and libcurl
# (which the programs load, not link: libcurl on the first online lookup) do not, nor do the
# Japanese font and Qt's Japanese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libcurl4t64 | libcurl4")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# Installing (and so cpack) takes the tree as built: scripts/package builds only what the package
# holds, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)

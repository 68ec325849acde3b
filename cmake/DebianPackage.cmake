# The Debian package, made by CPack's DEB generator (scripts/package). Its
# version is the project's; its dependencies are what dpkg-shlibdeps finds in
# the binaries, the window's font and Qt's translations.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME busview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the busview authors")
set(CPACK_PACKAGE_CONTACT "${BUSVIEW_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SCSI host adapter and device lister")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "busview shows what is on the SCSI buses of a machine: for every SCSI host\n\
adapter, and target IDs 0 to 7 on it, the device type, the INQUIRY data, the\n\
INT 13h mapping and geometry of a disk, and the READ CAPACITY data. Its texts\n\
are Japanese. busview-report gives the same reports on a terminal, as text\n\
or JSON. A demo bus shows what busview does on a machine without SCSI\n\
adapters.\n\
.\n\
Where the Prometheus node exporter is installed, a timer keeps busview's\n\
survey in its textfile folder every quarter hour; an Ansible local fact\n\
comes with it too.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${BUSVIEW_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layer and the event library live in the package's own directory.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/src/wnaspi32 ${CMAKE_BINARY_DIR}/src/win32_stand_ins)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The maintainer scripts enable and start the Prometheus timer.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/dist/debian/postinst ${PROJECT_SOURCE_DIR}/dist/debian/prerm
    ${PROJECT_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git")
include(CPack)

# What Debian wants under /usr/share/doc: the licence as a machine-readable
# copyright file, and a changelog, compressed.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE copyright_line REGEX "^Copyright" LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright (\\(c\\) )?" "" copyright_holder "${copyright_line}")
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(REGEX REPLACE "^MIT License\n\n[^\n]*\n\n" "" license_text "${license_text}")
string(REGEX REPLACE "\n$" "" license_text "${license_text}")
string(REGEX REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text "${license_text}")
file(WRITE ${CMAKE_BINARY_DIR}/debian/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: busview
Upstream-Contact: ${BUSVIEW_MAINTAINER}
Source: ${BUSVIEW_HOMEPAGE}

Files: *
Copyright: ${copyright_holder}
License: Expat
 ${license_text}
")
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog
"busview (${PROJECT_VERSION}) unstable; urgency=medium

  * busview ${PROJECT_VERSION}.

 -- ${BUSVIEW_MAINTAINER}  ${changelog_date}
")
install(FILES ${CMAKE_BINARY_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(CODE "
  set(doc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
  file(MAKE_DIRECTORY \"\${doc}\")
  execute_process(COMMAND gzip -9n -c \"${CMAKE_BINARY_DIR}/debian/changelog\"
                  OUTPUT_FILE \"\${doc}/changelog.gz\" COMMAND_ERROR_IS_FATAL ANY)
  # Manual pages go compressed, as Debian keeps them.
  file(GLOB pages \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/*.1\")
  foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf \"\${page}\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()")

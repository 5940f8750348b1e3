# Install rules and the CPack packages (scripts/release.sh makes them from a
# clean Release build).
#
# Linux (the .deb and the .tar.gz): photocheck in bin/, its manual page
# photocheck(1) in share/man/man1/; the README, the usage guide, the licence
# and the changelog in share/doc/photocheck/; the sample set in
# share/doc/photocheck/examples/ with a settings file whose folders are
# relative to that folder (run it from a writable copy). The .deb has them as
# Debian policy asks (cmake/reproducible-staging.cmake): the manual page and
# the documents gzipped, the licence as a machine-readable copyright file, a
# Debian changelog and the lintian override of the static executable.
#
# Windows (the .zip): everything in one folder, as Windows tools ship:
# photocheck.exe, the documents, run-example.cmd and examples\ with a settings
# file written with backslashes and CR LF line ends.

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  set(PHOTOCHECK_BIN_DIR .)
  set(PHOTOCHECK_DOC_DIR .)
else()
  include(GNUInstallDirs)
  set(PHOTOCHECK_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  set(PHOTOCHECK_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS photocheck RUNTIME DESTINATION ${PHOTOCHECK_BIN_DIR})
install(FILES README.md docs/usage.md LICENSE CHANGELOG.md DESTINATION ${PHOTOCHECK_DOC_DIR})
install(DIRECTORY examples/images DESTINATION ${PHOTOCHECK_DOC_DIR}/examples)
if(WIN32)
  foreach(name photocheck.settings run-example.cmd)
    configure_file(packaging/windows/${name} ${CMAKE_BINARY_DIR}/packaging/${name}
                   @ONLY NEWLINE_STYLE CRLF)
  endforeach()
  install(FILES ${CMAKE_BINARY_DIR}/packaging/photocheck.settings DESTINATION examples)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/run-example.cmd DESTINATION .)
else()
  install(FILES packaging/linux/photocheck.settings DESTINATION ${PHOTOCHECK_DOC_DIR}/examples)
  install(FILES docs/photocheck.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "the photocheck authors")
set(CPACK_PACKAGE_CONTACT
    "the photocheck authors <maintainers@users.noreply.c-seed-978c607a.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_DESCRIPTION
    "photocheck lists every file below an image folder, reads the EXIF block of
each JPEG and checks that the photos agree in pixel size and camera maker and
carry a 35 mm focal length and a GPS position. It prints its findings (in
Chinese, as GBK bytes), writes error.json into an output folder when the set
fails, and its exit status tells a calling script whether the set passed.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
# Two builds of one commit give the same bytes: the staged files get fixed
# times and modes, and the archives are written again in sorted order.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/reproducible-staging.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/reproducible-archives.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-x64)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Read by cmake/reproducible-staging.cmake for the .deb's Debian files.
  set(CPACK_PHOTOCHECK_DEBIAN_FILES ${PROJECT_SOURCE_DIR}/packaging/debian)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The executable is linked statically: there is no shared library to scan
  # for dependencies, and the package depends on no other.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
endif()

include(CPack)

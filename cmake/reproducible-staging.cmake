# Runs inside CPack on the staged files of each package before the package is
# made (CPACK_PRE_BUILD_SCRIPTS). Makes the staged tree the same on every
# build of one commit: every file and folder gets the time SOURCE_DATE_EPOCH
# (the commit's time, set by scripts/release.sh) and modes that do not depend
# on the builder's umask. CPack itself already stores owner root and leaves
# the gzip header's time out when SOURCE_DATE_EPOCH is set.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not set: packages must be made with scripts/release.sh")
endif()

# The .deb as Debian policy and lintian want it: the manual page and the
# documents gzipped with -9n (no name, no time: the same bytes each build),
# the licence as a machine-readable copyright file in place of LICENSE, a
# Debian changelog (the project's own stays as CHANGELOG.md.gz) and the
# lintian override that says why the executable is static.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(usr ${CPACK_TEMPORARY_DIRECTORY}/usr)
  set(doc ${usr}/share/doc/${CPACK_PACKAGE_NAME})
  set(debian ${CPACK_PHOTOCHECK_DEBIAN_FILES})
  file(REMOVE ${doc}/LICENSE)
  file(COPY_FILE ${debian}/copyright ${doc}/copyright)
  string(TIMESTAMP released "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${doc}/changelog
       "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
       "  * Release ${CPACK_PACKAGE_VERSION}; what it changes is in\n"
       "    /usr/share/doc/${CPACK_PACKAGE_NAME}/CHANGELOG.md.gz.\n\n"
       " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${released}\n")
  file(MAKE_DIRECTORY ${usr}/share/lintian/overrides)
  file(COPY_FILE ${debian}/lintian-overrides ${usr}/share/lintian/overrides/${CPACK_PACKAGE_NAME})
  foreach(file ${usr}/share/man/man1/photocheck.1 ${doc}/changelog ${doc}/CHANGELOG.md
          ${doc}/README.md ${doc}/usage.md)
    execute_process(COMMAND gzip -9n ${file} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()

execute_process(
  COMMAND chmod -R u+rw,go-w,a+rX ${CPACK_TEMPORARY_DIRECTORY}
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @$ENV{SOURCE_DATE_EPOCH} {} +
  COMMAND_ERROR_IS_FATAL ANY)

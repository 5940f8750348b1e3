# Runs inside CPack on the staged files of each package before the package is
# made (CPACK_PRE_BUILD_SCRIPTS). Makes the staged tree the same on every
# build of one commit: every file and folder gets the time SOURCE_DATE_EPOCH
# (the commit's time, set by scripts/release.sh) and modes that do not depend
# on the builder's umask. CPack itself already stores owner root and leaves
# the gzip header's time out when SOURCE_DATE_EPOCH is set.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not set: packages must be made with scripts/release.sh")
endif()
execute_process(
  COMMAND chmod -R u+rw,go-w,a+rX ${CPACK_TEMPORARY_DIRECTORY}
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @$ENV{SOURCE_DATE_EPOCH} {} +
  COMMAND_ERROR_IS_FATAL ANY)

# Runs inside CPack after each package is made (CPACK_POST_BUILD_SCRIPTS).
#
# CPack 3.25 writes the entries of a .tar.gz or .zip in the order the file
# system lists the staged folders, which on ext4 is an order of name hashes
# that differs from one file system to the next. The .deb is written in
# sorted order already. This writes the two archives again from the same
# staged tree with entries sorted by name, owner root, every time
# SOURCE_DATE_EPOCH and no gzip time or zip extra fields, so that two builds
# of one commit give the same bytes on any machine.
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
get_filename_component(root ${CPACK_TEMPORARY_DIRECTORY} NAME)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.tar\\.gz$")
    file(REMOVE ${package})
    execute_process(
      COMMAND tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner
              --mtime=@$ENV{SOURCE_DATE_EPOCH} --directory=${top} ${root}
      COMMAND gzip -9 --no-name
      OUTPUT_FILE ${package}
      COMMAND_ERROR_IS_FATAL ANY)
  elseif(package MATCHES "\\.zip$")
    file(REMOVE ${package})
    # zip stores local times: with TZ=UTC they are the UTC times.
    execute_process(
      COMMAND find ${root}
      COMMAND env LC_ALL=C sort
      COMMAND env TZ=UTC zip -X -9 -q ${package} -@
      WORKING_DIRECTORY ${top}
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

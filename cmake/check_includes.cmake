# Reads the #include "..." lines of every source file in the product's
# folders and fails on an edge that the table below does not allow: each
# folder may include its own headers and those of the floors below it, never
# one above. Run as: cmake -DROOT=<source folder> -P check_includes.cmake
#
#   app        the top: anything below
#   report     the check table and findings of checks/, platform, console
#   page       checks, reading, readiness, platform, console (beside report:
#              neither includes the other)
#   geojson    checks, reading, exif, xmp, platform, console, and report's
#              JSON writer (beside page)
#   checks     reading, exif, xmp, platform, console
#   reading    exif, xmp, platform
#   inventory  platform, console
#   readiness  nothing of ours (fed plain structs by the floors above)
#   exif       nothing of ours
#   xmp        exif (expat behind it)
#   console    platform
#   platform   nothing of ours
#
# A test file (*_test.cc) may also include the shared test support.

cmake_minimum_required(VERSION 3.20)

set(allowed_app app console platform checks reading inventory report page geojson exif xmp)
set(allowed_report report console platform checks/check_findings.h checks/check_table.h)
set(allowed_page page checks reading readiness platform console)
set(allowed_geojson geojson checks reading exif xmp platform console report/json_writer.h)
set(allowed_checks checks reading exif xmp platform console)
set(allowed_reading reading exif xmp platform)
set(allowed_inventory inventory platform console)
set(allowed_readiness readiness)
set(allowed_exif exif)
set(allowed_xmp xmp exif)
set(allowed_console console platform)
set(allowed_platform platform)
set(ours app report page geojson checks reading readiness inventory exif xmp console platform tests fuzz bench examples)

set(violations "")
foreach(folder app report page geojson checks reading readiness inventory exif xmp console platform)
  file(GLOB sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cc)
  foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX REPLACE "/.*" "" top "${header}")
      if(NOT top IN_LIST ours)
        continue()  # a library's header, such as gtest/gtest.h
      endif()
      if(name MATCHES "_test\\.cc$" AND header MATCHES "^tests/support/")
        continue()
      endif()
      if(top IN_LIST allowed_${folder} OR header IN_LIST allowed_${folder})
        continue()
      endif()
      list(APPEND violations "${folder}/${name} includes \"${header}\"")
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the floors:\n  ${text}")
endif()

# Fails on a thread_local object in the product's folders that has no
# static_assert beside it (on its own line, the line before or the two after)
# that its type is trivially destructible. A thread_local object with a
# destructor has the C library run that destructor when its thread ends:
# glibc aborts the process when it has no memory to note it, and in the
# mingw-w64 build it runs after the thread's own storage has been freed.
# Whatever a thread must give back at its end belongs to its own frame.
# Run as: cmake -DROOT=<source folder> -P check_thread_locals.cmake

cmake_minimum_required(VERSION 3.20)

set(marker "static_assert(std::is_trivially_destructible_v<")
set(violations "")
foreach(folder app report page checks reading inventory exif xmp console platform)
  file(GLOB sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cc)
  foreach(source IN LISTS sources)
    # One list entry per line: the list separator and brackets in the code
    # are kept out of the way first.
    file(READ ${source} content)
    string(REPLACE ";" "<semicolon>" content "${content}")
    string(REPLACE "[" "<open>" content "${content}")
    string(REPLACE "]" "<close>" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    list(LENGTH lines count)
    set(index 0)
    foreach(line IN LISTS lines)
      if(line MATCHES "(^|[^A-Za-z0-9_])thread_local([^A-Za-z0-9_]|$)" AND
         NOT line MATCHES "^[ \t]*//")
        set(found FALSE)
        math(EXPR first "${index} - 1")
        math(EXPR last "${index} + 2")
        foreach(near RANGE ${first} ${last})
          if(near GREATER_EQUAL 0 AND near LESS count)
            list(GET lines ${near} text)
            string(FIND "${text}" "${marker}" at)
            if(at GREATER_EQUAL 0)
              set(found TRUE)
            endif()
          endif()
        endforeach()
        if(NOT found)
          file(RELATIVE_PATH name ${ROOT} ${source})
          math(EXPR number "${index} + 1")
          string(STRIP "${line}" shown)
          string(REPLACE "<semicolon>" "" shown "${shown}")
          list(APPEND violations "${name}:${number}: ${shown}")
        endif()
      endif()
      math(EXPR index "${index} + 1")
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "thread_local without ${marker}...>) beside it:\n  ${text}")
endif()

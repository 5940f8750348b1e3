# Regenerates the sample photos into a scratch folder and fails when any
# differs from the committed one in examples/images.
# cmake -DGENERATOR=<make_examples> -DIMAGES=<examples/images> -DSCRATCH=<folder> -P check_examples.cmake
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(COMMAND ${GENERATOR} ${SCRATCH} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_examples failed: ${status}")
endif()
file(GLOB made RELATIVE ${SCRATCH} ${SCRATCH}/*)
file(GLOB committed RELATIVE ${IMAGES} ${IMAGES}/*)
if(NOT made STREQUAL committed)
  message(FATAL_ERROR "examples/images holds ${committed}, the generator makes ${made}")
endif()
foreach(name IN LISTS made)
  file(SHA256 ${SCRATCH}/${name} madeHash)
  file(SHA256 ${IMAGES}/${name} committedHash)
  if(NOT madeHash STREQUAL committedHash)
    message(FATAL_ERROR "examples/images/${name} differs from what make_examples writes; "
                        "run make_examples examples/images and commit the result")
  endif()
endforeach()

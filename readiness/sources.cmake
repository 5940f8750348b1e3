# The readiness analyses' sources, for readiness/CMakeLists.txt and for
# bench/, a CMake project of its own that times them.
set(PC_READINESS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/coverage_grid.cc
  ${CMAKE_CURRENT_LIST_DIR}/footprint.cc
  ${CMAKE_CURRENT_LIST_DIR}/overlap.cc
  ${CMAKE_CURRENT_LIST_DIR}/photo_findings.cc
  ${CMAKE_CURRENT_LIST_DIR}/readiness.cc
  ${CMAKE_CURRENT_LIST_DIR}/readiness_texts.cc
  ${CMAKE_CURRENT_LIST_DIR}/set_findings.cc
  ${CMAKE_CURRENT_LIST_DIR}/survey_layout.cc)

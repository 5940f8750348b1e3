# The JPEG/EXIF builder as a library of its own: standard library only, no
# GoogleTest. Included by tests/support (for the tests and examples/) and by
# bench/, a CMake project of its own, so that all of them link one target
# instead of compiling the source by path.
if(NOT TARGET pc_jpeg_builder)
  get_filename_component(PC_JPEG_BUILDER_ROOT ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
  add_library(pc_jpeg_builder STATIC ${CMAKE_CURRENT_LIST_DIR}/jpeg_builder.cc)
  target_include_directories(pc_jpeg_builder PUBLIC ${PC_JPEG_BUILDER_ROOT})
endif()

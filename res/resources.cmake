# The program's resources, compiled by windres. KORV_RESOURCE_OBJECTS lists
# what the executable links; tests that need the real menu link it too.
set(KORV_RESOURCE_OBJECTS ${CMAKE_SOURCE_DIR}/res/KorvSchd.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/KorvSchd.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/KorvSchd.manifest;${CMAKE_SOURCE_DIR}/res/resource.h")

# The program's resources, compiled by windres. KORV_RESOURCE_OBJECTS lists
# what the executable links; tests that need the real menu link it too.
# The icons are drawn as text pixel maps in res/icons and made into .ico here.
set(KORV_ICON_DIR ${CMAKE_BINARY_DIR}/res)
set(KORV_ICON_TOOL ${CMAKE_SOURCE_DIR}/cmake/pixmap2ico.py)
function(korv_icon output)
  set(inputs)
  set(maps)
  foreach(map IN LISTS ARGN)
    string(REGEX REPLACE ":[0-9]+$" "" file ${map})
    list(APPEND inputs ${CMAKE_SOURCE_DIR}/res/icons/${file})
    list(APPEND maps ${CMAKE_SOURCE_DIR}/res/icons/${map})
  endforeach()
  add_custom_command(OUTPUT ${KORV_ICON_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KORV_ICON_DIR}
    COMMAND python3 ${KORV_ICON_TOOL} ${KORV_ICON_DIR}/${output} ${maps}
    DEPENDS ${KORV_ICON_TOOL} ${inputs}
    VERBATIM)
endfunction()
# The program's own icon: the same drawing, also enlarged for Explorer's views.
korv_icon(main.ico active.txt active.txt:2)
korv_icon(active.ico active.txt)
korv_icon(suspended.ico suspended.txt)
set(KORV_ICONS ${KORV_ICON_DIR}/main.ico ${KORV_ICON_DIR}/active.ico ${KORV_ICON_DIR}/suspended.ico)

# The icons are listed as sources too, so every target that compiles the
# script first makes them.
set(KORV_RESOURCE_OBJECTS ${CMAKE_SOURCE_DIR}/res/KorvSchd.rc ${KORV_ICONS})
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/KorvSchd.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/KorvSchd.manifest;${CMAKE_SOURCE_DIR}/res/resource.h;${KORV_ICONS}"
  INCLUDE_DIRECTORIES ${KORV_ICON_DIR})

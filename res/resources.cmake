# The program's resources, compiled by windres. KORV_RESOURCE_OBJECTS lists
# what the executable links; tests that need the real menu link it too.
# Each icon is drawn once per size in res/icons/NAME-SIZE.svg; rsvg-convert
# renders every drawing at its own size and icotool gathers them into one .ico
# of 32-bit images with alpha (the form XP reads too, unlike PNG entries).
find_program(KORV_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(KORV_ICOTOOL icotool REQUIRED)
set(KORV_ICON_SIZES 16 20 24 32 40 48)
set(KORV_ICON_DIR ${CMAKE_BINARY_DIR}/res)

# korv_icon(OUTPUT.ico DRAWING): DRAWING names res/icons/DRAWING-SIZE.svg.
function(korv_icon output drawing)
  set(svgs)
  set(pngs)
  set(commands)
  foreach(size IN LISTS KORV_ICON_SIZES)
    set(svg ${CMAKE_SOURCE_DIR}/res/icons/${drawing}-${size}.svg)
    set(png ${KORV_ICON_DIR}/${drawing}-${size}.png)
    list(APPEND svgs ${svg})
    list(APPEND pngs ${png})
    list(APPEND commands COMMAND ${KORV_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${svg})
  endforeach()
  add_custom_command(OUTPUT ${KORV_ICON_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KORV_ICON_DIR}
    ${commands}
    COMMAND ${KORV_ICOTOOL} --create --bit-depth=32 --output=${KORV_ICON_DIR}/${output} ${pngs}
    DEPENDS ${svgs}
    VERBATIM)
endfunction()
korv_icon(active.ico active)
korv_icon(suspended.ico suspended)
set(KORV_ICONS ${KORV_ICON_DIR}/active.ico ${KORV_ICON_DIR}/suspended.ico)
# The program's own icon (KorvSchd.rc) is the active tray icon; the installer
# shows it too.
set(KORV_PROGRAM_ICON ${KORV_ICON_DIR}/active.ico)

# The program's own icon group, over the images of the active icon.
add_custom_command(OUTPUT ${KORV_ICON_DIR}/main-group.bin
  COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/icon-group.py ${KORV_ICON_DIR}/active.ico 1 ${KORV_ICON_DIR}/main-group.bin
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/icon-group.py ${KORV_ICON_DIR}/active.ico
  VERBATIM)
list(APPEND KORV_ICONS ${KORV_ICON_DIR}/main-group.bin)

# The manifest names the executable's architecture, as Windows checks it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KORV_MANIFEST_ARCH amd64)
else()
  set(KORV_MANIFEST_ARCH x86)
endif()
configure_file(${CMAKE_SOURCE_DIR}/res/KorvSchd.manifest.in ${KORV_ICON_DIR}/KorvSchd.manifest @ONLY)

# The icons are listed as sources too, so every target that compiles the
# script first makes them.
set(KORV_RESOURCE_OBJECTS ${CMAKE_SOURCE_DIR}/res/KorvSchd.rc ${KORV_ICONS})
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/KorvSchd.rc PROPERTIES
  OBJECT_DEPENDS "${KORV_ICON_DIR}/KorvSchd.manifest;${CMAKE_SOURCE_DIR}/res/resource.h;${KORV_ICONS}"
  INCLUDE_DIRECTORIES ${KORV_ICON_DIR})

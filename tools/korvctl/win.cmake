# The capture application's side of the schedule, as a console tool.
add_executable(korvctl tools/korvctl/korvctl.cpp ${KORV_XP_OBJECTS})
target_link_libraries(korvctl PRIVATE korv_win korvctl_core)
# Shipped beside the program: without debug symbols, which would name the
# build's folders.
target_link_options(korvctl PRIVATE -s)

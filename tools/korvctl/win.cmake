# The capture application's side of the schedule, as a console tool.
add_executable(korvctl tools/korvctl/korvctl.cpp ${KORV_XP_OBJECTS})
target_link_libraries(korvctl PRIVATE korv_win korvctl_core)

add_executable(korvctl tools/korvctl.cpp ${KORV_XP_OBJECTS})
target_link_libraries(korvctl PRIVATE korv_win)

add_executable(korvctl tools/korvctl.cpp)
target_link_libraries(korvctl PRIVATE korv_win)

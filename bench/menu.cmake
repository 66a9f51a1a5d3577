add_executable(menu_bench bench/MenuBench.cpp ${KORV_RESOURCE_OBJECTS})
target_link_libraries(menu_bench PRIVATE korv_test_support korv_win)
add_dependencies(menu_bench KorvSchd)

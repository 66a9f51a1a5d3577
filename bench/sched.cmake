add_executable(sched_bench bench/SchedBench.cpp tests/win/SchedFixture.cpp)
target_link_libraries(sched_bench PRIVATE korv_test_support)
add_dependencies(sched_bench KorvSchd korv98_stub)

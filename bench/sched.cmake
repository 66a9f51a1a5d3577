add_executable(sched_bench bench/SchedBench.cpp bench/HostProcess.cpp tests/win/SchedFixture.cpp)
target_link_libraries(sched_bench PRIVATE korv_test_support psapi)
add_dependencies(sched_bench KorvSchd korv98_stub)

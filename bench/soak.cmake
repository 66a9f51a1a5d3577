# The soak bench (bench/soak/): the real program under a long life's load.
# tools/bench.sh runs its timed form for 30 minutes (or --minutes N); its
# counted form runs among the tests, in a Wine prefix of its own: its
# stand-in shell tray takes every program's icons while it runs.
add_executable(soak_bench bench/soak/SoakBench.cpp bench/soak/ProcessCounters.cpp bench/soak/HostProcess.cpp
  bench/soak/SoakRig.cpp bench/soak/SoakLoad.cpp bench/soak/WineLeaks.cpp tests/win/SchedFixture.cpp)
target_link_libraries(soak_bench PRIVATE korv_soak_core korv_test_support psapi)
add_dependencies(soak_bench KorvSchd korv98_stub korvctl browser_stub soak_shell)
add_executable(soak_shell bench/soak/SoakShell.cpp tests/win/FakeTray.cpp)
target_link_libraries(soak_shell PRIVATE korv_win)
korv_wine_bench(soak)
add_test(NAME soak_bench_rounds COMMAND soak_bench --rounds 2)
set_tests_properties(soak_bench_rounds PROPERTIES FIXTURES_REQUIRED wine_soak TIMEOUT 300 COST 30 SKIP_RETURN_CODE ${KORV_WINE_SKIP}
  ENVIRONMENT KORV_WINE_DIR=${CMAKE_BINARY_DIR}/wine-soak)

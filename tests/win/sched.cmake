# The program's tests take the longest: two shards on two benches.
korv_wine_test(sched_program_tests SOURCES tests/win/SchedProgramTest.cpp tests/win/SchedFixture.cpp
  tests/win/ImportPatch.cpp
  LIBS GTest::gtest_main DEPENDS KorvSchd korv98_stub korvctl SHARDS 2 BENCH a b COST 25 SERIAL MATRIX TIMEOUT 600)
korv_wine_test(sched_inprocess_tests SOURCES tests/win/SchedInProcessTest.cpp tests/win/SchedFixture.cpp
  LIBS GTest::gtest_main DEPENDS korvctl BENCH c COST 8 SERIAL TIMEOUT 300)
korv_wine_test(sched_korvctl_tests SOURCES tests/win/SchedKorvctlTest.cpp tests/win/SchedFixture.cpp
  LIBS GTest::gtest_main DEPENDS korvctl BENCH c COST 8 SERIAL TIMEOUT 300)

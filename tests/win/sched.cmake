korv_wine_test(sched_program_tests SOURCES tests/win/SchedProgramTest.cpp tests/win/SchedFixture.cpp
  tests/win/ImportPatch.cpp
  LIBS GTest::gtest_main DEPENDS KorvSchd korv98_stub korvctl SERIAL TIMEOUT 600)
korv_wine_test(sched_inprocess_tests SOURCES tests/win/SchedInProcessTest.cpp tests/win/SchedFixture.cpp
  LIBS GTest::gtest_main DEPENDS korvctl SERIAL TIMEOUT 300)
korv_wine_test(sched_korvctl_tests SOURCES tests/win/SchedKorvctlTest.cpp tests/win/SchedFixture.cpp
  LIBS GTest::gtest_main DEPENDS korvctl SERIAL TIMEOUT 300)

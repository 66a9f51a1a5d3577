# SERIAL: the real program with the real work folder, tray, schedule key and
# Run value, and a stand-in tray that every program of the prefix would reach.
korv_wine_test(program_failure_tests SOURCES tests/win/ProgramFailureTest.cpp tests/win/ImportPatch.cpp
  tests/win/FakeTray.cpp
  LIBS GTest::gtest_main DEPENDS KorvSchd SERIAL TIMEOUT 300)

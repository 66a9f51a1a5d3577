# SERIAL: the real program, its own instance mutex, service name and Run value.
korv_wine_test(program_dde_tests SOURCES tests/win/ProgramDdeTest.cpp LIBS GTest::gtest_main
  DEPENDS KorvSchd browser_stub BENCH c SERIAL MATRIX TIMEOUT 300)

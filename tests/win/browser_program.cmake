# SERIAL: the real program with the real work folder, tray and Run value.
korv_wine_test(browser_program_tests SOURCES tests/win/BrowserProgramTest.cpp LIBS GTest::gtest_main
  DEPENDS KorvSchd browser_stub BENCH a SERIAL MATRIX TIMEOUT 300)

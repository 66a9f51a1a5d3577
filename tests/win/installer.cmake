korv_wine_test(installer_tests SOURCES tests/win/InstallerTest.cpp LIBS GTest::gtest_main
  DEPENDS KorvSchd BENCH c SERIAL TIMEOUT 240)

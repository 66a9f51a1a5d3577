korv_wine_test(installer_tests SOURCES tests/win/InstallerTest.cpp LIBS GTest::gtest_main
  DEPENDS KorvSchd SERIAL TIMEOUT 240)

korv_wine_test(dde_tests SOURCES tests/win/DdeTest.cpp ${KORV_RESOURCE_OBJECTS} LIBS GTest::gtest_main
  DEPENDS browser_stub TIMEOUT 300)

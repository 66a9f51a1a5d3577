# SERIAL: the stand-in browsers it starts answer any other test's DDE
# connection that names no service.
korv_wine_test(dde_tests SOURCES tests/win/DdeTest.cpp ${KORV_RESOURCE_OBJECTS} LIBS GTest::gtest_main
  DEPENDS browser_stub BENCH c SERIAL TIMEOUT 300)

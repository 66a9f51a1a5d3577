# SERIAL: these tests write win.ini's WORKPATH and the ".htm" association.
korv_wine_test(browser_tests SOURCES tests/win/BrowserTest.cpp ${KORV_RESOURCE_OBJECTS} LIBS GTest::gtest_main
  DEPENDS browser_stub BENCH a SERIAL TIMEOUT 300)

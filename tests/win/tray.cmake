# The tray in process (real menu and icons linked in) and the real program's
# tray from outside. Both use the real work folder, schedule key and tray.
korv_wine_test(tray_menu_tests SOURCES tests/win/TrayMenuTest.cpp tests/win/TrayResourceTest.cpp ${KORV_RESOURCE_OBJECTS}
  LIBS GTest::gtest_main version psapi DEPENDS KorvSchd korv98_stub BENCH b SERIAL TIMEOUT 180)
korv_wine_test(tray_program_tests SOURCES tests/win/TrayProgramTest.cpp tests/win/FakeTray.cpp
  LIBS GTest::gtest_main DEPENDS KorvSchd korv98_stub BENCH b COST 6 SERIAL MATRIX TIMEOUT 300)

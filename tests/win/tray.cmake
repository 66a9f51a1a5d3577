# The tray in process (real menu and icons linked in) and the real program's
# tray from outside. Both use the real work folder, schedule key and tray.
korv_wine_test(tray_menu_tests SOURCES tests/win/TrayMenuTest.cpp tests/win/TrayResourceTest.cpp ${KORV_RESOURCE_OBJECTS}
  LIBS GTest::gtest_main version psapi DEPENDS KorvSchd korv98_stub BENCH b SERIAL TIMEOUT 180)
korv_wine_test(tray_program_tests SOURCES tests/win/TrayProgramTest.cpp tests/win/FakeTray.cpp
  LIBS GTest::gtest_main DEPENDS KorvSchd korv98_stub BENCH b COST 6 SERIAL MATRIX TIMEOUT 300)
# The program users get is the 32-bit build's: where only the 64-bit build's
# tests run (a machine that runs no 32-bit code), they read the 32-bit
# program's resources as data all the same (tools/test-all.sh builds it).
if(KORV_WINE_ARCH EQUAL 64)
  set(KORV_PRODUCT_EXE ${CMAKE_SOURCE_DIR}/build/mingw/bin/KorvSchd.exe CACHE FILEPATH
    "The 32-bit KorvSchd.exe whose resources the 64-bit tests also read")
  add_test(NAME product_resources_i686 COMMAND tray_menu_tests --gtest_filter=ProgramResources.*)
  set_tests_properties(product_resources_i686 PROPERTIES FIXTURES_REQUIRED wine_b TIMEOUT 120
    SKIP_RETURN_CODE ${KORV_WINE_SKIP}
    ENVIRONMENT "KORV_WINE_DIR=${CMAKE_BINARY_DIR}/wine-b;KORV_PRODUCT_EXE=Z:${KORV_PRODUCT_EXE}")
endif()

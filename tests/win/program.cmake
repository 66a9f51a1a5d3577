korv_wine_test(program_tests SOURCES tests/win/ProgramTest.cpp LIBS GTest::gtest_main
  DEPENDS KorvSchd korv98_stub SERIAL MATRIX TIMEOUT 300)
korv_wine_test(capture_app_tests SOURCES tests/win/CaptureAppTest.cpp LIBS GTest::gtest_main
  DEPENDS korv98_stub SERIAL TIMEOUT 180)

# The executable may need only system DLLs: it is linked statically.
add_test(NAME import_table COMMAND ${CMAKE_SOURCE_DIR}/tests/check-imports.sh $<TARGET_FILE:KorvSchd>)
set_tests_properties(import_table PROPERTIES TIMEOUT 60)

korv_wine_test(program_tests SOURCES tests/win/ProgramTest.cpp LIBS GTest::gtest_main
  DEPENDS KorvSchd korv98_stub BENCH c SERIAL MATRIX TIMEOUT 300)
korv_wine_test(capture_app_tests SOURCES tests/win/CaptureAppTest.cpp LIBS GTest::gtest_main
  DEPENDS korv98_stub BENCH c SERIAL TIMEOUT 180)

# The shipped executables may need only system DLLs (they are linked
# statically) and only functions that XP has.
add_test(NAME import_table COMMAND ${CMAKE_SOURCE_DIR}/tests/check-imports.sh $<TARGET_FILE:KorvSchd> ${CMAKE_OBJDUMP})
set_tests_properties(import_table PROPERTIES TIMEOUT 60)
add_test(NAME import_table_korvctl COMMAND ${CMAKE_SOURCE_DIR}/tests/check-imports.sh $<TARGET_FILE:korvctl> ${CMAKE_OBJDUMP})
set_tests_properties(import_table_korvctl PROPERTIES TIMEOUT 60)
# The shipped program stays within 200 KiB (the benches report its size too).
add_test(NAME program_size COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:KorvSchd> -DLIMIT=204800
  -P ${CMAKE_SOURCE_DIR}/cmake/check-size.cmake)
set_tests_properties(program_size PROPERTIES TIMEOUT 30)

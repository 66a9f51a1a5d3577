# clang-tidy over the program and its tools as MinGW compiles them; runs on
# the host, not under Wine. The portable code that the native build holds is
# linted there (tidy_portable), so it is left out here when that build exists.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
# It only computes: at a lower priority, so that it never holds up a program
# under test beside it.
add_test(NAME tidy_win32 COMMAND nice -n 10 ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/lint.py tidy ${CMAKE_BINARY_DIR}
  ${CMAKE_SOURCE_DIR}/build/native)
set_tests_properties(tidy_win32 PROPERTIES TIMEOUT 900 COST 100)

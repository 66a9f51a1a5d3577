# Native build: the platform-free code, its unit tests and fuzz targets, with
# the sanitizers that the Windows build cannot offer.
file(GLOB KORV_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp ${CMAKE_SOURCE_DIR}/tools/*/*Test.cpp)
add_executable(unit_tests ${KORV_UNIT_SOURCES})
target_link_libraries(unit_tests PRIVATE korv_core korvctl_core GTest::gtest GTest::gtest_main)
add_test(NAME unit_tests COMMAND unit_tests)
set_tests_properties(unit_tests PROPERTIES TIMEOUT 120)

# Each fuzz target is tests/fuzz/<name>.cpp with a kept corpus in
# tests/fuzz/corpus/<name>/: CTest replays it and fuzzes briefly from there;
# tools/fuzz.sh fuzzes at length and keeps what it finds that adds coverage.
set(KORV_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds each fuzz target runs under CTest")
if(KORV_FUZZ)
  # The code under test carries libFuzzer's coverage probes, without which the
  # fuzzer sees only the target's own few lines; -O1 makes it several times
  # faster than the Debug build that the unit tests use.
  get_target_property(KORV_CORE_SOURCES korv_core SOURCES)
  add_library(korv_core_fuzz STATIC ${KORV_CORE_SOURCES})
  target_include_directories(korv_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(korv_core_fuzz PRIVATE -O1 -fsanitize=fuzzer-no-link)
  file(GLOB KORV_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
  foreach(src IN LISTS KORV_FUZZ_SOURCES)
    get_filename_component(name ${src} NAME_WE)
    add_executable(fuzz_${name} ${src})
    target_compile_options(fuzz_${name} PRIVATE -O1 -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${name} PRIVATE korv_core_fuzz)
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    add_test(NAME fuzz_${name}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
              sh -c "mkdir -p '${corpus}' && exec \"$0\" -max_total_time=${KORV_FUZZ_TEST_SECONDS} -timeout=10 '${corpus}' '${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name}'"
              $<TARGET_FILE:fuzz_${name}>)
    set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

# The protocol model of the change signal, checked with spin: one CTest entry
# per model run, so that the runs share the cores with the fuzzers.
file(GLOB KORV_MODEL_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/model/*.sh)
foreach(script IN LISTS KORV_MODEL_SCRIPTS)
  get_filename_component(name ${script} NAME_WE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  execute_process(COMMAND sh ${script} --list OUTPUT_VARIABLE runs OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" runs "${runs}")
  foreach(run IN LISTS runs)
    add_test(NAME model_${name}_${run} COMMAND ${script} ${CMAKE_BINARY_DIR}/model ${run})
    set_tests_properties(model_${name}_${run} PROPERTIES TIMEOUT 600 COST 10)
  endforeach()
endforeach()

# The layers include one way only, and no two units include each other.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME include_layers COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check-includes.py ${CMAKE_SOURCE_DIR})
set_tests_properties(include_layers PROPERTIES TIMEOUT 60)

# Lint: the portable code as the Linux compiler sees it (the Windows build
# lints the whole program as MinGW sees it).
add_test(NAME tidy_portable COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/lint.py tidy ${CMAKE_BINARY_DIR})
set_tests_properties(tidy_portable PROPERTIES TIMEOUT 900 COST 100)
add_test(NAME format COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/lint.py format)
set_tests_properties(format PROPERTIES TIMEOUT 120)
